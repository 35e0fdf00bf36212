#include "core/link/descriptor_limit.h"

namespace rv {

// Sockets on Windows are kernel handles, not descriptors of a limited table: nothing to raise.
void allowDescriptors(int) {}

} // namespace rv
