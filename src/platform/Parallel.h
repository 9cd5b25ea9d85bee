#pragma once
// Work on many small independent items, such as the pages of an animation, spread over the cores.
// Starting a thread costs tens of microseconds, more than a small page takes, so there is one
// thread per core (the calling one included, eight at most) and each takes the next item nobody
// has taken yet: a large item holds up only the thread that has it.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

namespace Parallel {

// Keeps a helper thread to a core other than the calling thread's, the k-th of the other cores
// the process may use. Linux queues a new thread on the core of the thread that made it, and
// wakes a sleeping one there too when the other cores look busy, which the sleeping cores of a
// virtual machine do: a helper would wait a millisecond or more, until the scheduler rebalances,
// before doing any of work that takes a few. Without another core it stays where it is.
void KeepOffCallersCore(std::thread &helper, std::size_t k);

// The cores of the machine (at least 1), asked once: the system reads a file for it each time.
unsigned Cores();

// Calls work(i) once for each i in [0, count) and returns when all calls have returned. Calls run
// on several threads at once, in no fixed order, so each must write only what belongs to its item.
// With no thread to be had, the calling thread does them all.
template <typename Work>
void ForEachItem(std::size_t count, const Work &work)
{
    std::atomic<std::size_t> next{0};
    const auto take = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    // The items take milliseconds in all; past a few threads, starting more costs what they save.
    constexpr std::size_t kMostThreads = 8;
    const std::size_t threads =
        std::min({std::size_t(Cores()), kMostThreads, count});
    std::vector<std::thread> helpers;
    std::atomic<std::size_t> working{0}; // helpers that have not finished
    for (std::size_t t = 1; t < threads; ++t) {
        ++working;
        try {
            helpers.emplace_back([&] {
                take();
                --working;
            });
        } catch (const std::system_error &) {
            --working;
            break; // the threads there are do the rest
        }
        KeepOffCallersCore(helpers.back(), t - 1);
    }
    take();
    // The helpers' last items take moments: waiting awake for them, since a sleeping core of a
    // virtual machine can take milliseconds to wake.
    while (working > 0)
        std::this_thread::yield();
    for (std::thread &helper : helpers)
        helper.join();
}

} // namespace Parallel
