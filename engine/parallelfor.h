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

/// Calls work(item, index) for every item of the vector `list` on the global thread pool and returns when all
/// are done. `work` must write only what belongs to its own item, so that the result is the same on
/// any number of threads. Under ThreadSanitizer, which cannot see the synchronisation inside the
/// uninstrumented Qt library, two plain threads joined at the end do the same work, so that only
/// real races are reported.
template <typename List, typename Work> void forEachInParallel(List &list, Work work)
{
    if (list.empty()) // spares waking the pool
        return;
    const auto *const first = list.data();
    const auto visit = [first, &work](auto &item) { work(item, size_t(&item - first)); };
#ifdef KOLVEX_THREAD_SANITIZER
    const auto half = std::ptrdiff_t(list.size() / 2);
    std::thread other([&] { std::for_each(list.begin(), list.begin() + half, visit); });
    std::for_each(list.begin() + half, list.end(), visit);
    other.join();
#else
    // Waking the pool and waiting for it costs about as much as fifty decisions: a short list is
    // done on this thread.
    constexpr size_t POOL_FROM = 64;
    if (list.size() < POOL_FROM)
        std::for_each(list.begin(), list.end(), visit);
    else
        QtConcurrent::blockingMap(list.begin(), list.end(), visit);
#endif
}

#endif
