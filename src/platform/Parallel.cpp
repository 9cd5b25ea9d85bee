#include "platform/Parallel.h"

#include <algorithm>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#include <unistd.h>
#endif

namespace Parallel {

unsigned Cores()
{
    static const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return cores;
}

void KeepOffCallersCore(std::thread &helper, std::size_t k)
{
#if defined(__linux__)
    // The process's cores (the main thread's, which nothing here narrows), not the caller's.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(getpid(), sizeof allowed, &allowed) != 0)
        return;
    const int here = sched_getcpu();
    std::vector<int> others;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &allowed) && cpu != here)
            others.push_back(cpu);
    if (others.empty() || !helper.joinable())
        return;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(others[k % others.size()], &one);
    pthread_setaffinity_np(helper.native_handle(), sizeof one, &one);
#else
    (void)helper;
    (void)k;
#endif
}

} // namespace Parallel
