#ifndef KOLVEX_CONTAINER_BLOCKVECTOR_H
#define KOLVEX_CONTAINER_BLOCKVECTOR_H

#include "hugepagearena.h"

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

/// An append-only sequence kept in blocks that fill the regions of a `HugePageArena`. Growing never
/// moves what it holds: a table of millions of rows grows without copying itself and without
/// needing room for twice its size while it does, as a vector would, and memory is touched only
/// as it is filled. For plain records, which need no destructor.
template <typename T> class BlockVector
{
    static_assert(std::is_trivially_destructible_v<T>, "blocks are given back without destroying what they hold");

public:
    /// Elements per block.
    static constexpr size_t BLOCK = HugePageArena::REGION_BYTES / sizeof(T);

    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    T &operator[](size_t i) { return blocks[i / BLOCK][i % BLOCK]; }
    const T &operator[](size_t i) const { return blocks[i / BLOCK][i % BLOCK]; }
    const T &back() const { return (*this)[count - 1]; }

    void push_back(const T &value)
    {
        if (count % BLOCK == 0)
            blocks.push_back(static_cast<T *>(memory->allocate(BLOCK * sizeof(T))));
        new (blocks.back() + count % BLOCK) T(value);
        ++count;
    }
    /// Empties the sequence and gives its memory back.
    void clear()
    {
        std::vector<T *>().swap(blocks);
        memory = std::make_unique<HugePageArena>();
        count = 0;
    }

private:
    std::unique_ptr<HugePageArena> memory = std::make_unique<HugePageArena>();
    std::vector<T *> blocks;
    size_t count = 0;
};

#endif
