#include "cell.h"

#include <atomic>

namespace {
std::atomic<int32_t> nextCellId{0};
}

Cell::Cell() : id(nextCellId++) {}

Cell *Cell::cellAhead(int32_t n) const
{
    if (n < 0)
        return cellBehind(-n);
    const Cell *c = this;
    for (int32_t i = 0; i < n && c; ++i)
        c = c->next;
    return const_cast<Cell *>(c);
}

Cell *Cell::cellBehind(int32_t n) const
{
    if (n < 0)
        return cellAhead(-n);
    const Cell *c = this;
    for (int32_t i = 0; i < n && c; ++i)
        c = c->previous;
    return const_cast<Cell *>(c);
}

Vehicle *Cell::vehicleUpstream(int32_t n) const
{
    const Cell *c = this;
    for (int32_t i = 0; i < n && c; ++i, c = c->previous) {
        if (c->vehicle)
            return c->vehicle;
        if (c->previous == this)
            break;
    }
    return nullptr;
}

int32_t Cell::cellsToEnd() const
{
    int32_t count = 0;
    for (const Cell *c = next; c; c = c->next) {
        if (c == this)
            return 0;
        ++count;
    }
    return count;
}

int32_t Cell::cellsFromStart() const
{
    int32_t count = 0;
    for (const Cell *c = previous; c; c = c->previous) {
        if (c == this)
            return 0;
        ++count;
    }
    return count;
}

Cell *Cell::chainEnd() const
{
    const Cell *c = this;
    while (c->next) {
        c = c->next;
        if (c == this)
            return nullptr;
    }
    return const_cast<Cell *>(c);
}

Cell *Cell::platformEnd() const
{
    const Cell *c = this;
    while (c->next && c->next->stop && c->next != this)
        c = c->next;
    return const_cast<Cell *>(c);
}

Cell *Cell::platformStart() const
{
    const Cell *c = this;
    while (c->previous && c->previous->stop && c->previous != this)
        c = c->previous;
    return const_cast<Cell *>(c);
}

void linkSide(Cell *a, Cell *b)
{
    if (a)
        a->side = b;
    if (b)
        b->sideOf = a;
}
