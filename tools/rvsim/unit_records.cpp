#include "unit_records.h"
#include "save_file.h"

#include <QFile>

namespace rvsim {

void UnitRecords::fillBenchDefaults()
{
    // Main record offsets from its layout.
    config[0] = static_cast<char>(0xF0);     // format mark
    wire::set16(config, 3, 1234);            // unit ID
    config[22] = 2;                          // packet protocol "Версия 1"
    wire::set16(config, 23, 30);             // period while moving, s
    wire::set16(config, 25, 300);            // period while parked, s
    config[27] = 8;                          // microphone gain
    config[28] = 60;                         // speaker gain
    config[29] = 3;                          // rings before answering
    const char ip[4] = {char(192), 0, 2, 10}; // server address
    for (int i = 0; i < 4; ++i)
        config[87 + i] = ip[i];
    wire::set16(config, 91, 12500);          // server port
    const QByteArray apn("internet");        // SIM 1 APN, NUL-terminated in 29 bytes
    config.replace(93, apn.size(), apn);
    wire::set16(config, 238, 120);           // delay before parked mode, s
    wire::set16(config, 490, 1800);          // later parked period, s
    for (qsizetype i = 0; i < inpOut.size(); ++i)
        inpOut[i] = static_cast<char>((i * 13 + 5) % 251);
    for (qsizetype i = 0; i < confSe.size(); ++i)
        confSe[i] = static_cast<char>(i + 1);
}

bool UnitRecords::holdSim(int sim, int button)
{
    if (sim < 1 || sim > 2 || button < 1 || button > 5)
        return false;
    // Main record offsets: APN 29 bytes, custom byte, login and password 20 bytes each, service number.
    const qsizetype apnAt = sim == 1 ? 93 : 123, customAt = sim == 1 ? 122 : 152;
    const qsizetype loginAt = sim == 1 ? 153 : 173, passAt = sim == 1 ? 193 : 213, numberAt = sim == 1 ? 343 : 344;
    auto put = [this](qsizetype at, qsizetype width, const QByteArray& text) {
        config.replace(at, width, QByteArray(width, '\0'));
        config.replace(at, text.size(), text);
    };
    const char* const letters[] = {"b", "g", "m", "", "o"};
    const QByteArray n = QByteArray::number(sim) + QByteArray::number(button);
    put(apnAt, 29, "fleet" + n + ".corp.example");
    put(loginAt, 20, letters[button - 1] + QByteArray(button == 4 ? "" : "fleet") + (button == 4 ? "" : n));
    put(passAt, 20, button == 4 ? QByteArray() : "pw" + n);
    config[customAt] = static_cast<char>(button == 5 ? 63 : 0);
    config[numberAt] = static_cast<char>(150 + sim * 10 + button);
    return true;
}

bool UnitRecords::load(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = f.read(wire::kFileSize + 1);
    if (data.size() < wire::kFileSize)
        return false;
    config = data.mid(0, wire::kConfigSize);
    inpOut = data.mid(wire::kFileInpOutAt, wire::kInpOutSize);
    confSe = data.mid(wire::kFileConfSeAt, wire::kConfSeSize);
    return true;
}

bool UnitRecords::save(const QString& path) const
{
    QByteArray data(wire::kFileSize, '\0');
    data.replace(0, config.size(), config);
    data.replace(wire::kFileInpOutAt, inpOut.size(), inpOut);
    data.replace(wire::kFileConfSeAt, confSe.size(), confSe);
    return replaceFile(path, data);
}

} // namespace rvsim
