#ifndef KOLVEX_ENGINE_PARALLELFOR_H
#define KOLVEX_ENGINE_PARALLELFOR_H

#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

#if defined(__SANITIZE_THREAD__)
#define KOLVEX_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KOLVEX_THREAD_SANITIZER 1
#endif
#endif

/// How much work one item of a parallel pass is, which decides from how many items on the pass is
/// worth waking the thread pool for: waking it and waiting for it costs about as much as fifty
/// decisions, or as a thousand or so of the passes that touch only a vehicle's own state and cells.
enum class ItemWork : size_t { Decision = 64, Light = 2048 };

/// Whether `forEachInParallel` spreads a list of `count` items of this weight over the thread pool
/// rather than doing it on the calling thread.
inline bool spreadsOverPool(size_t count, ItemWork weight)
{
#ifdef KOLVEX_THREAD_SANITIZER
    (void)weight;
    return count > 0;
#else
    return count >= size_t(weight);
#endif
}

/// Calls work(item, index) for every item of the vector `list` on the global thread pool and returns
/// when all are done; a list shorter than `weight` says is done on this thread. `work` must write
/// only what belongs to its own item, so that the result is the same on any number of threads.
/// Under ThreadSanitizer, which cannot see the synchronisation inside the uninstrumented Qt library,
/// two plain threads joined at the end do the same work, so that only real races are reported.
template <typename List, typename Work> void forEachInParallel(List &list, ItemWork weight, Work work)
{
    if (list.empty()) // spares waking the pool
        return;
    const auto *const first = list.data();
    const auto visit = [first, &work](auto &item) { work(item, size_t(&item - first)); };
#ifdef KOLVEX_THREAD_SANITIZER
    (void)weight;
    const auto half = std::ptrdiff_t(list.size() / 2);
    std::thread other([&] { std::for_each(list.begin(), list.begin() + half, visit); });
    std::for_each(list.begin() + half, list.end(), visit);
    other.join();
#else
    if (spreadsOverPool(list.size(), weight))
        QtConcurrent::blockingMap(list.begin(), list.end(), visit);
    else
        std::for_each(list.begin(), list.end(), visit);
#endif
}

#endif
