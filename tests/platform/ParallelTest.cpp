#include "platform/Parallel.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#include <unistd.h>
#endif

namespace {

#if defined(__linux__)
std::vector<int> CpusOf(const cpu_set_t &set)
{
    std::vector<int> cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set))
            cpus.push_back(cpu);
    return cpus;
}
#endif

} // namespace

// Every item once, and the helpers on a core the caller is not on: a caller kept to one core
// sees each helper kept to one other core of the process's.
TEST(ParallelTest, ItemsRunOnceAndHelpersKeepOffTheCallersCore)
{
#if defined(__linux__)
    cpu_set_t process;
    ASSERT_EQ(sched_getaffinity(getpid(), sizeof process, &process), 0);
    const std::vector<int> cpus = CpusOf(process);
    constexpr std::size_t kItems = 400;
    std::vector<int> calls(kItems, 0);
    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::vector<std::vector<int>> helperCpus;
    std::thread caller([&] {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpus.front(), &one);
        ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof one, &one), 0);
        const std::thread::id self = std::this_thread::get_id();
        Parallel::ForEachItem(kItems, [&](std::size_t i) {
            ++calls[i];
            // Long enough that every helper gets items of its own.
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            std::lock_guard lock(mutex);
            if (threads.insert(std::this_thread::get_id()).second && std::this_thread::get_id() != self) {
                cpu_set_t mine;
                pthread_getaffinity_np(pthread_self(), sizeof mine, &mine);
                helperCpus.push_back(CpusOf(mine));
            }
        });
    });
    caller.join();
    for (std::size_t i = 0; i < kItems; ++i)
        ASSERT_EQ(calls[i], 1) << i;
    EXPECT_LE(threads.size(), std::size_t(Parallel::Cores()));
    if (cpus.size() < 2)
        GTEST_SKIP() << "one core: no helper to keep elsewhere";
    ASSERT_FALSE(helperCpus.empty());
    for (const std::vector<int> &mask : helperCpus) {
        ASSERT_EQ(mask.size(), 1u);
        EXPECT_NE(mask.front(), cpus.front());
        EXPECT_TRUE(CPU_ISSET(mask.front(), &process));
    }
#else
    GTEST_SKIP() << "cores are chosen only on Linux";
#endif
}
