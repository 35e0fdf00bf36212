#pragma once

namespace rv {

// Makes room for `connections` open sockets besides the program's own files. Every connection holds a
// descriptor, and a POSIX process limited to the usual 1024 would refuse units well before the server's
// bound: the soft limit is raised as far as the hard limit allows. Windows has no such per-process limit.
void allowDescriptors(int connections);

} // namespace rv
