#include "core/link/descriptor_limit.h"

#include <algorithm>

#include <sys/resource.h>

namespace rv {

void allowDescriptors(int connections)
{
    rlimit r{};
    const rlim_t wanted = static_cast<rlim_t>(connections) + 256;
    if (::getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur != RLIM_INFINITY && r.rlim_cur < wanted) {
        r.rlim_cur = r.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, r.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &r);
    }
}

} // namespace rv
