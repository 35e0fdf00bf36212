#pragma once

// What a unit session reports to its front ends, as values: how an operation ended, what the user should
// be told, where the search for the unit stands. Front ends decide on these; the words for them are in
// session_texts.h, the one place that holds them.

#include "core/config/record_kind.h"
#include "core/link/link.h"

#include <QMetaType>
#include <QString>

#include <cstdint>
#include <optional>

namespace rv {

// The operations a front end starts on a unit.
enum class Operation : uint8_t {
    Read,       // the three records into the program's records
    Compare,    // the three records into a copy, for a comparison
    Write,      // the three records to the unit
    Reset,
    EraseTrack,
};

enum class Result : uint8_t {
    Done,
    NoAnswer,       // nothing moved the operation on within the progress watchdog's limit
    Damaged,        // a reply whose checksum did not hold, or that ended short of its own length
    ShortRecord,    // a record shorter than the program's: refused whole, nothing of it taken
    Malformed,      // a network reply whose length says more than its frame holds
    LinkLost,       // the serial line is gone
    Disconnected,   // the network unit's connection ended, or the server stopped
    UnitRefused,    // "LOWD": the unit wants a newer configurator for this write
    UnitFailed,     // "FAIL": the unit could not take the configuration
    TooLittleData,  // the unit got less of a record than its length said
    UnknownCommand, // the unit does not know the command `code`
    DamagedCommand, // the unit got the command `code` damaged
    CommandDone,    // the unit reports the command `code` carried out
};

// Which unit an outcome concerns, where several may be connected.
struct UnitIdentity {
    uint16_t id = 0;
    QString imei;
};

struct Outcome {
    Operation operation = Operation::Read;
    Result result = Result::Done;
    RecordKind record = RecordKind::Config; // ShortRecord: the record that came short
    qsizetype length = 0;                   // ShortRecord: its bytes
    int code = 0;                           // the unit's code (UnknownCommand, DamagedCommand, CommandDone)
    std::optional<UnitIdentity> unit{};     // the network unit written to
    bool ok() const { return result == Result::Done; }
};

// What the user is told on the side (a message box in the window, a line of rvctl).
enum class Notice : uint8_t {
    NotAllRead,             // a record longer than the program's: its first part was taken
    PasswordRefused,
    PasswordAccepted,       // and the refused operation runs again
    PasswordAcceptedRepeat, // and the user is to repeat the operation
    NeedsConfiguring,       // "NEWCONF"
    TrackErased,
    LinkLost,
    RunawayDropped,         // `count` bytes that never paused nor formed a reply were dropped
    ConnectionClosed,       // the network unit worked with hung up
    NoRemoteMonitoring,     // its firmware cannot be polled for monitor blocks
    DataError,              // network input that makes no frame
    IntegrityError,         // a network frame whose CRC does not hold
    ServerPortMissing,
    ServerSettingsBad,      // `detail` says why
    ServerStartFailed,      // `detail` says why
};

struct Note {
    Notice notice = Notice::NotAllRead;
    qint64 count = 0;
    QString detail{};
};

// Where the serial search for the unit stands (the status bar's connection panels).
enum class LinkState : uint8_t {
    Searching,       // the port opened, the greeting went out
    PortUnavailable, // the port cannot be opened: `failure` says why
    NotFound,        // no answer to the greeting
    Connected,
    Lost,
    Bootloader,      // the unit runs its bootloader, `version`
    NetworkChosen,   // the serial line let go for the program's server
    PortChosen,      // another port chosen in the port dialog
};

struct LinkEvent {
    LinkState state = LinkState::Searching;
    QString port;
    OpenFailure failure = OpenFailure::None;
    uint8_t version = 0;
};

} // namespace rv

Q_DECLARE_METATYPE(rv::Outcome)
Q_DECLARE_METATYPE(rv::Note)
Q_DECLARE_METATYPE(rv::LinkEvent)
