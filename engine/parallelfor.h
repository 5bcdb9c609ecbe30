#ifndef KOLVEX_ENGINE_PARALLELFOR_H
#define KOLVEX_ENGINE_PARALLELFOR_H

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstddef>
#include <numeric>
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
/// A piece of a list (see `forEachInParallelWith`) is worth a thread of its own.
enum class ItemWork : size_t { Piece = 2, Decision = 64, Light = 2048 };

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

/// Calls work(item, index, pieceEnd, scratch) for every item of the vector `list` as
/// `forEachInParallel` does, with a `Scratch` of `scratches` that no other item uses at the same
/// time. The list is cut into pieces of neighbouring items, a few for each thread so that the
/// threads finish together, and each piece is done on one thread with a scratch of its own, which
/// stays in that thread's cache from item to item; `scratches` keeps them from one pass to the
/// next. The items from `index` up to `pieceEnd` are the rest of the piece: the same thread does
/// them next, so `work` may read ahead among them. As long as `work` leaves nothing in the scratch
/// that the next item reads, the result is the same on any number of threads.
template <typename List, typename Scratch, typename Work>
void forEachInParallelWith(List &list, std::vector<Scratch> &scratches, ItemWork weight, Work work)
{
    constexpr size_t PIECES_PER_THREAD = 8;
    size_t pieces = 1;
    if (spreadsOverPool(list.size(), weight)) {
#ifdef KOLVEX_THREAD_SANITIZER
        pieces = 2; // one for each of the two threads
#else
        pieces = PIECES_PER_THREAD * size_t(std::max(1, QThreadPool::globalInstance()->maxThreadCount()));
#endif
        pieces = std::min(pieces, list.size());
    }
    if (scratches.size() < pieces)
        scratches.resize(pieces);
    std::vector<size_t> numbers(pieces);
    std::iota(numbers.begin(), numbers.end(), size_t(0));
    forEachInParallel(numbers, ItemWork::Piece, [&](size_t p, size_t) {
        const size_t end = list.size() * (p + 1) / pieces;
        for (size_t i = list.size() * p / pieces; i < end; ++i)
            work(list[i], i, end, scratches[p]);
    });
}

#endif
