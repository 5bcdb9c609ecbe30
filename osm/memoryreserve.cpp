#include "memoryreserve.h"

#include <mutex>
#include <new>

namespace {

// The allocator's failure handler is one for the whole process, so the reserves it may spend are too.
std::mutex reservesLock;
MemoryReserve *reserves = nullptr;
std::new_handler handlerBefore = nullptr;

void spendOrFail()
{
    if (!MemoryReserve::spendOne())
        throw std::bad_alloc();
}

} // namespace

MemoryReserve::MemoryReserve(size_t bytes) : block(new char[bytes])
{
    // Left untouched: an allocation fails for want of address space, which the block holds as it is.
    std::lock_guard<std::mutex> lock(reservesLock);
    if (!reserves)
        handlerBefore = std::set_new_handler(spendOrFail);
    next = reserves;
    reserves = this;
}

MemoryReserve::~MemoryReserve()
{
    std::lock_guard<std::mutex> lock(reservesLock);
    for (MemoryReserve **link = &reserves; *link; link = &(*link)->next) {
        if (*link == this) {
            *link = next;
            break;
        }
    }
    if (!reserves)
        std::set_new_handler(handlerBefore);
}

bool MemoryReserve::spendOne()
{
    std::lock_guard<std::mutex> lock(reservesLock);
    for (MemoryReserve *reserve = reserves; reserve; reserve = reserve->next) {
        if (reserve->block) {
            reserve->block.reset();
            reserve->isSpent.store(true, std::memory_order_release);
            return true;
        }
    }
    return false;
}
