#pragma once

// The virtual unit's protocol side: takes the bytes the configurator writes, recognises the commands, keeps
// the three records and answers as a unit does. Each command is one small handler; failure modes are
// chosen by options. Transport (the pseudo-terminal) and timing live in main.cpp.

#include "medium.h"
#include "telemetry.h"
#include "track_memory.h"
#include "unit_records.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>

namespace rvsim {

// The JPEG camera on each peripheral port ("CONFIGJ" port 1, "CONFIGH" port 2).
struct CameraOptions {
    enum class Failure { None, NoLink, Busy, LostMidPicture, Silent };
    Failure failure = Failure::None;
    int burst = 1000;  // bytes in one burst, the header's included: the configurator reads at most 1024
    int gapMs = 80;    // from one burst to the next: longer than the configurator's quiet gap
    QString out;       // the picture last sent is kept in this file
};

struct UnitOptions {
    uint8_t deviceType = 2;
    uint32_t deviceOptions = 0x00000001;   // bit 0: GLONASS receiver
    uint8_t handshakeByte = 0x01;
    uint16_t unitId = 1234;                // ID and IMEI in the device block
    QByteArray imei = "861234567890123";
    bool answerQdSsmt = false;   // the older "QD-SSMT" handshake
    bool newConf = false;        // answer "NEWCONF": the unit must be configured
    bool silent = false;         // never answer anything
    bool badChecksum = false;    // record replies carry a wrong checksum
    bool overlong = false;       // the main record comes with L = 600
    bool lowd = false;           // writes are refused with "LOWD"
    bool bootloader = false;     // running its bootloader
    bool still = false;          // parked with the engine off: its monitor values never change
    uint8_t bootloaderVersion = 12;
    // The bootloader's answers on demand: refuse every update ("BL_BL"), fail programming block N
    // ("BL_ER") or take block N as incomplete ("BL_EP"), each once; the time to program one block.
    bool bootloaderRefuse = false;
    int bootloaderErrorAt = -1;
    int bootloaderIncompleteAt = -1;
    int bootloaderSilentAt = -1;  // never answer block N
    int bootloaderDropAt = -1;    // drop the line (the cable pulled) when block N arrives
    int programBlockMs = 5;
    QString firmwareOut;          // the image received is kept in this file
    std::optional<uint16_t> password; // locked until "RV+PASS=N"
    QByteArray dropOn;           // drop the line when this command arrives (e.g. "CONFIGP")
    uint16_t build1 = 700, build2 = 1203;
    uint8_t build3 = 15;
    MediumOptions medium;
    CameraOptions camera;
    bool satImeiOnRequest = false; // the satellite IMEI shows only after "CONFIGZ" 01 01
    TrackOptions track;
};

// What the unit does after a command: bytes to send, maybe after a delay, maybe dropping the line.
struct Reply {
    QByteArray bytes;
    int delayMs = 0;
};

class VirtualUnit {
public:
    explicit VirtualUnit(UnitOptions options);

    // Bytes from the configurator. Complete commands are handled; an incomplete one waits for more.
    QList<Reply> receive(QByteArrayView bytes);
    // The configurator went quiet: a command still incomplete is dropped (and counted as garbage).
    QList<Reply> flush();

    bool lineDropped() const { return m_dropped; }
    const QMap<QByteArray, int>& counts() const { return m_counts; }
    bool inBootloader() const { return m_o.bootloader; }
    UnitRecords& records() { return m_records; }
    bool locked() const { return m_locked; }
    // Called after every accepted record write.
    std::function<void()> onRecordsChanged;

private:
    enum class Parse { Done, NeedMore, Garbage };
    Parse handleOne(QList<Reply>& out);
    void count(const QByteArray& word) { ++m_counts[word]; }

    QByteArray handshake() const;
    QByteArray recordReply(const char* marker, const QByteArray& record, const char* status) const;
    QByteArray monitorBlock(const char* marker, const QByteArray& payload) const;
    Parse recordWrite(QList<Reply>& out, QByteArray& record, bool withStatus);
    Parse fileCommand(QList<Reply>& out);
    Parse memoryCommand(QList<Reply>& out);
    void fileChunkWanted(QList<Reply>& out);
    void fileData(QList<Reply>& out, const QByteArray& data);
    Parse bootloaderPacket(QList<Reply>& out);
    void cameraShot(QList<Reply>& out, int port, uint8_t resolution);
    Parse voiceArchive(QList<Reply>& out);
    void firmwareComplete();

    UnitOptions m_o;
    Telemetry m_telemetry;
    UnitRecords m_records;
    Medium m_medium;
    TrackMemory m_track;
    // The file being read by the configurator, or written by it.
    std::optional<QByteArray> m_readFile;
    qsizetype m_readAt = 0;
    struct Incoming { uint8_t area; QByteArray name; uint32_t size; QByteArray data; };
    std::optional<Incoming> m_writeFile;
    int m_fileChunks = 0;
    // The voice archive being received (types 3 and 4): header, announced data size, data so far.
    struct Archive { QByteArray header; uint32_t size = 0; QByteArray data; int chunks = 0; };
    std::optional<Archive> m_archive;
    // The update the bootloader is receiving.
    struct Update { uint32_t size; uint32_t check; uint8_t version; QByteArray image; uint32_t next = 0; };
    std::optional<Update> m_update;
    int m_blocks = 0; // blocks received in this run, for the answers on demand
    QByteArray m_input;
    QMap<QByteArray, int> m_counts;
    bool m_locked = false;
    bool m_dropped = false;
    QDeadlineTimer m_rebootUntil{0};
};

} // namespace rvsim
