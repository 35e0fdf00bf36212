#include "core/monitor/monitor_labels.h"

#include "core/monitor/monitor_text.h"

namespace rv {

namespace {

LabelUpdate text(const QString& name, const QString& t) { return LabelUpdate{name, t, LabelColor::Unchanged, {}}; }

LabelUpdate coloured(const QString& name, const QString& t, LabelColor c) { return LabelUpdate{name, t, c, {}}; }

LabelUpdate visibility(const QString& name, bool shown) { return LabelUpdate{name, {}, LabelColor::Unchanged, shown}; }

QString volts(uint16_t count, double k) { return generalText(adcVolts(count, k), 4); }

QString n(qint64 v) { return QString::number(v); }

// LIN1..LIN8 as the unit's profile reads each input.
void inputLabels(QList<LabelUpdate>& out, const GpsSnapshot& g, const DeviceSnapshot& d, const UnitProfile& unit)
{
    for (int i = 0; i < 8; ++i) {
        const QString input = QStringLiteral("Вход %1: ").arg(i + 1);
        const uint16_t count = g.inputCounts[size_t(i)];
        QString t;
        switch (unit.reading(i)) {
        case InputReading::Volts36: t = input + volts(count, kAdcInput36V); break;
        case InputReading::Volts5: t = input + volts(count, kAdcInput5V); break;
        case InputReading::Frequency:
            t = QStringLiteral("Част.%1: ").arg(i + 1) + n(i == 0 ? g.frequency1 : g.frequency2);
            break;
        case InputReading::Count: t = input + n(count); break;
        case InputReading::UpCounter: t = QStringLiteral("Счет++: ") + n(d.upCounter); break;
        case InputReading::DownCounter: t = QStringLiteral("Счет--: ") + n(d.downCounter); break;
        case InputReading::NotShown: continue;
        }
        out << text(QStringLiteral("LIN%1").arg(i + 1), t);
    }
    for (int i = 1; i <= unit.outputs(); ++i)
        out << text(QStringLiteral("LOUT%1").arg(i),
                    QStringLiteral("Выход %1: ").arg(i) + n((g.outputs >> (i - 1)) & 1));
}

QList<LabelUpdate> statusWindowLabels(uint8_t status)
{
    auto bit = [status](int b) { return ((status >> b) & 1) != 0; };
    QList<LabelUpdate> out;
    out << (bit(0) ? coloured(QStringLiteral("Status_L0"), QStringLiteral("Внешнее напряжение ниже нормы"), LabelColor::Red)
                   : coloured(QStringLiteral("Status_L0"), QStringLiteral("Внешнее напряжение в норме"), LabelColor::Normal));
    out << text(QStringLiteral("Status_L1"), bit(1) ? QStringLiteral("Объект движется") : QStringLiteral("Объект стоит"));
    out << text(QStringLiteral("Status_L2"), bit(2) ? QStringLiteral("Стоит на охране") : QStringLiteral("Снят с охраны"));
    out << text(QStringLiteral("Status_L3"), bit(3)   ? QStringLiteral("Работа с первой СИМ картой")
                                             : bit(4) ? QStringLiteral("Работа со второй СИМ картой")
                                                      : QStringLiteral("GSM модуль выключен"));
    out << text(QStringLiteral("Status_L4"), bit(5) ? QStringLiteral("Нет GPRS соединения")
                                                    : QStringLiteral("GPRS соединение установлено"));
    static const struct { const char16_t* text; LabelColor color; } receiver[4] = {
        {u"Приемник на связи", LabelColor::Normal},
        {u"Нет связи с приемником", LabelColor::Red},
        {u"Нет SAT антенны", LabelColor::Green},
        {u"КЗ SAT антенны", LabelColor::Red},
    };
    const auto& r = receiver[(status >> 6) & 3];
    out << coloured(QStringLiteral("Status_L5"), QString::fromUtf16(r.text), r.color);
    return out;
}

QString statusBitsText(uint8_t status)
{
    QString bits;
    for (int b = 7; b >= 0; --b)
        bits += QLatin1Char(((status >> b) & 1) ? '1' : '0');
    return QStringLiteral("Статус: ") + bits;
}

void axleLabels(QList<LabelUpdate>& out, const DeviceSnapshot& d)
{
    bool any = false;
    for (uint16_t load : d.axleLoads)
        any = any || load != 0;
    static const char* const names[5] = {"Laxletire", "Laxleweight", "L229", "L230", "L231"};
    if (any) {
        for (int i = 0; i < 5; ++i) {
            LabelUpdate l = text(QLatin1String(names[i]), QStringLiteral("Ось%1: %2 кг").arg(i + 1).arg(d.axleLoads[i]));
            if (i >= 2)
                l.visible = true;
            out << l;
        }
    } else {
        out << text(QStringLiteral("Laxletire"), QStringLiteral("Ось ") + n(d.canAxleNumber));
        out << text(QStringLiteral("Laxleweight"), QStringLiteral("Вес, кг: ") + hundredthsText(qint64(d.canAxleWeight2) * 50));
        for (int i = 2; i < 5; ++i)
            out << visibility(QLatin1String(names[i]), false);
    }
}

void peripheralLabels(QList<LabelUpdate>& out, const GpsSnapshot& g, const UnitProfile& unit)
{
    out << text(QStringLiteral("LiBut"), QStringLiteral("iButton: ") + iButtonText(g.iButton));
    for (int i = 0; i < 8; ++i)
        out << text(QStringLiteral("LTemp%1").arg(i + 1),
                    QStringLiteral("Темп. %1: ").arg(i + 1) + externalTemperatureText(g.externalTemps[i]));

    auto fuel = [&out](int s, uint16_t level, int8_t temp) {
        const QString val = QStringLiteral("Omnival%1").arg(s), tmp = QStringLiteral("Omnitemp%1").arg(s);
        if (level == 0xFFFF) {
            out << text(val, QStringLiteral("Уровень%1: обрыв").arg(s));
            out << text(tmp, QStringLiteral("Темп.%1:").arg(s));
        } else {
            out << text(val, QStringLiteral("Уровень%1: ").arg(s) + n(level));
            out << text(tmp, QStringLiteral("Темп.%1: ").arg(s) + n(temp));
        }
    };
    fuel(1, g.fuel1, g.fuelTemp1);
    if (unit.fuelSensors() >= 2)
        fuel(2, g.fuel2, g.fuelTemp2);

    out << text(QStringLiteral("Lfuellev"), QStringLiteral("Уровень топлива в баке, %: ") + hundredthsText(qint64(g.canFuelLevel) * 40));
    out << text(QStringLiteral("Ltahom"), QStringLiteral("Тахометр, об/мин: ") + n(g.canEngineSpeed));
    out << text(QStringLiteral("Lcooltemp"), QStringLiteral("Темп. ОЖ, град: ") + n(g.canCoolantTemp));
    out << text(QStringLiteral("Ltotalfuel"), QStringLiteral("Общий расход топлива, л: ") + hundredthsText(qint64(g.canTotalFuel) * 50));
    out << text(QStringLiteral("Ltotalvehicledist"), QStringLiteral("Общий пробег, км: ") + n(g.canTotalDistance / 1000));
}

} // namespace

const LabelUpdate* MonitorUpdate::find(QStringView objectName) const
{
    for (const QList<LabelUpdate>* list : {&monitorPage, &statusWindow, &mainWindow})
        for (const LabelUpdate& u : *list)
            if (u.objectName == objectName)
                return &u;
    return nullptr;
}

bool BatteryWarning::update(uint16_t batteryCount)
{
    // The unit's own comparison is made on a single-precision voltage.
    const double ub = static_cast<float>(adcVolts(batteryCount, kAdcBattery));
    if (ub < 3.4)
        m_shown = true;
    else if (ub > 3.5)
        m_shown = false;
    return m_shown;
}

std::optional<QString> unitTypeText(const UnitProfile& unit)
{
    if (!unit.known())
        return std::nullopt;
    return QStringLiteral("Тип прибора: ") + unit.name();
}

QString motionText(uint8_t motionFlag)
{
    return motionFlag != 0 ? QStringLiteral("Движение") : QStringLiteral("Стоянка");
}

QString resetButtonText(uint16_t supplyCount)
{
    return adcVolts(supplyCount, kAdcInput36V) < 5.0 ? QStringLiteral("Выключить") : QStringLiteral("Перезагрузить");
}

MonitorUpdate refreshGps(const GpsSnapshot& g, const DeviceSnapshot& d, const UnitProfile& unit,
                         BatteryWarning& battery)
{
    MonitorUpdate u;
    QList<LabelUpdate>& p = u.monitorPage;
    p << text(QStringLiteral("LDateTime"), QStringLiteral("Дата и время: ") + unitTimeText(g.unitTime));
    p << text(QStringLiteral("LLat"), QStringLiteral("Широта: ") + coordinateText(g.latitude));
    p << text(QStringLiteral("LLon"), QStringLiteral("Долгота: ") + coordinateText(g.longitude));
    p << text(QStringLiteral("LSat"), QStringLiteral("Видимых спутников: ") + n(g.satellites));
    p << text(QStringLiteral("LValid"), g.fixInvalid ? QStringLiteral("Координаты: не валидны") : QStringLiteral("Координаты: валидны"));
    p << text(QStringLiteral("LHDOP"), QStringLiteral("Горизонтальная точность: ") + tenthsText(g.hdop10));
    p << text(QStringLiteral("LHeight"), QStringLiteral("Высота: ") + n(g.altitude));
    p << text(QStringLiteral("LSpeed"), QStringLiteral("Скорость, км/ч: ") + tenthsText(g.speed10));
    p << text(QStringLiteral("LCourse"), QStringLiteral("Курс, град.: ") + tenthsText(g.course10));
    inputLabels(p, g, d, unit);
    p << text(QStringLiteral("LAkk"), QStringLiteral("Uбат: ") + volts(g.batteryCount, kAdcBattery));
    p << text(QStringLiteral("LExt_in"), QStringLiteral("Uпит: ") + volts(g.supplyCount, kAdcInput36V));
    p << text(QStringLiteral("LTemp"), QStringLiteral("Темп. устройства: ") + n(g.unitTemperature));
    p << text(QStringLiteral("Status_label"), statusBitsText(g.status));
    p << text(QStringLiteral("LAccel_X"), QStringLiteral("Accel_X: ") + n(d.accelX));
    p << text(QStringLiteral("LAccel_Y"), QStringLiteral("Accel_Y: ") + n(d.accelY));
    p << text(QStringLiteral("LAccel_Z"), QStringLiteral("Accel_Z: ") + n(d.accelZ));
    p << text(QStringLiteral("LCsq"), QStringLiteral("Уровень GSM сигнала: ") + n(d.gsmSignal));

    u.statusWindow = statusWindowLabels(g.status);
    u.statusWindow << LabelUpdate{QStringLiteral("Status_L6"), {}, LabelColor::Red, battery.update(g.batteryCount)};
    u.mainWindow << text(QStringLiteral("Reset_but"), resetButtonText(g.supplyCount));
    return u;
}

MonitorUpdate refreshDevice(const GpsSnapshot& g, const DeviceSnapshot& d, const UnitProfile& unit)
{
    MonitorUpdate u;
    QList<LabelUpdate>& p = u.monitorPage;
    p << text(QStringLiteral("LNumber"), QStringLiteral("ID устройства: ") + n(d.unitId));
    p << text(QStringLiteral("LIMEI"), d.imei);
    p << visibility(QStringLiteral("Copy_IMEI"), d.imeiPresent);
    p << text(QStringLiteral("LVer"), QStringLiteral("Прошивка: ") + n(d.firmwareVersion)
                                          + QString::asprintf(" (build %.4d.%.4d.%.2d)", int(d.build1), int(d.build2), int(d.build3)));
    if (d.gsmSoftware != 0)
        p << text(QStringLiteral("Label207"), QString::asprintf("GSM ПО: 1137B%.2d", int(d.gsmSoftware)));
    if (const auto t = unitTypeText(unit))
        p << text(QStringLiteral("Label208"), *t);
    p << text(QStringLiteral("LGSMreg"), QStringLiteral("GSM reg.: ") + n(d.gsmRegistration));
    p << text(QStringLiteral("LGPRSreg"), QStringLiteral("GPRS reg.: ") + n(d.gprsRegistration));
    p << text(QStringLiteral("LPerPack"), QStringLiteral("Период записи пакетов: ") + n(d.recordPeriod));
    p << text(QStringLiteral("LLastPack"), QStringLiteral("Последний записанный пакет: ") + n(d.lastRecorded));
    p << text(QStringLiteral("LSendPack"), QStringLiteral("Последний переданный пакет: ") + n(d.lastSent()));
    p << text(QStringLiteral("LSkach"), QStringLiteral("Скачок, м: ") + generalText(d.positionJump, 2));
    p << text(QStringLiteral("LMovedist"), QStringLiteral("Пройденное расст., м: ") + generalText(d.distanceMoved, 4));
    p << text(QStringLiteral("LAcelGPS"), QStringLiteral("Ускорение, м/с2: ") + tenthsText(d.acceleration10));
    p << text(QStringLiteral("LAngel"), QStringLiteral("Угол поворота, град: ") + n(d.turnAngle));
    p << text(QStringLiteral("Label242"), QStringLiteral("Соединение с сервером: %1,%2")
                                              .arg(((d.serverLink >> 1) & 3) + 1).arg(d.serverLink & 1));
    p << text(QStringLiteral("Ltotalhoursengine"), QStringLiteral("Моточасы, ч: ") + hundredthsText(d.canEngineHours100));
    axleLabels(p, d);
    peripheralLabels(p, g, unit);
    u.motionText = motionText(d.motion);
    return u;
}

MonitorUpdate refreshGps(const MonitorBlocks& blocks, const UnitProfile& unit, BatteryWarning& battery)
{
    return refreshGps(decodeGps(blocks.gps.bytes()), decodeDevice(blocks.device.bytes()), unit, battery);
}

MonitorUpdate refreshDevice(const MonitorBlocks& blocks, const UnitProfile& unit)
{
    return refreshDevice(decodeGps(blocks.gps.bytes()), decodeDevice(blocks.device.bytes()), unit);
}

FirmwareCheck checkFirmware(const UnitProfile& unit, const DeviceSnapshot& device)
{
    const uint16_t minimum = unit.minimumBuild();
    if (device.build1 >= minimum)
        return {};
    const QString minimumText = QStringLiteral("%1").arg(minimum, 4, 10, QLatin1Char('0'));
    return {true,
            QStringLiteral("Версия прошивки прибора не совместима с данным конфигуратором.\r\n"
                           "Необходимый build не ниже: %1.хххх.хх").arg(minimumText),
            QStringLiteral("Прошивка не совместима: build %1, нужен не ниже %2")
                .arg(device.build1, 4, 10, QLatin1Char('0'))
                .arg(minimumText)};
}

} // namespace rv
