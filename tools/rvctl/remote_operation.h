#pragma once

// rvctl serve: the program's TCP server on the command line. It listens, waits for a unit to call in
// over GPRS, then identifies it, reads its configuration into a file or writes a file to it, all with
// the network protocol of the same core the main window uses.

#include <QStringList>

namespace rvctl {

// With --jobs DIR it serves a fleet instead, until SIGINT or SIGTERM: a unit whose IMEI has a job in DIR
// (IMEI.fcg: write it; IMEI.read: read the unit into IMEI-DATE.fcg) gets it when it calls.
// Arguments after "serve": --listen PORT [--address ADDR] [--wait S] [--allow IMEI,...] [--allow-file F]
// [--allow-net CIDR,...] [--max-per-address N] then info [--json] | read FILE | write FILE. An allow list (or
// network list) given empty refuses to start (exit 2). Returns the exit code; progress and errors have gone
// to stderr.
int serve(const QStringList& args);

inline constexpr const char* kServeUsage =
    "serve --listen PORT [--address ADDR] [--wait S] [--allow IMEI,... | --allow-file F] [--allow-net CIDR,...] "
    "[--max-per-address N] info [--json] | read FILE.fcg | write FILE.fcg";

inline constexpr const char* kServeJobsUsage =
    "serve --listen PORT --jobs DIR [--address ADDR] [--allow IMEI,... | --allow-file F] [--allow-net CIDR,...] "
    "[--max-per-address N] [--close-idle] [--job-timeout S] [--json]";

} // namespace rvctl
