#pragma once

// rvctl serve: the program's TCP server on the command line. It listens, waits for a unit to call in
// over GPRS, then identifies it, reads its configuration into a file or writes a file to it, all with
// the network protocol of the same core the main window uses.

#include <QStringList>

namespace rvctl {

// Arguments after "serve": --listen PORT [--address ADDR] [--wait S] then info [--json] | read FILE |
// write FILE. Returns the exit code; progress and errors have gone to stderr.
int serve(const QStringList& args);

inline constexpr const char* kServeUsage =
    "serve --listen PORT [--address ADDR] [--wait S] info [--json] | read FILE.fcg | write FILE.fcg";

} // namespace rvctl
