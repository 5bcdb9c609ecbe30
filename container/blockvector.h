#ifndef KOLVEX_CONTAINER_BLOCKVECTOR_H
#define KOLVEX_CONTAINER_BLOCKVECTOR_H

#include <cstddef>
#include <memory>
#include <vector>

/// An append-only sequence kept in blocks of `BLOCK` elements. Growing never moves what it holds:
/// a table of millions of rows grows without copying itself and without needing room for twice
/// its size while it does, as a vector would. Elements of a new block are left uninitialised
/// until appended, so memory is touched only as it is filled.
template <typename T, size_t BLOCK = 65536> class BlockVector
{
public:
    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    T &operator[](size_t i) { return blocks[i / BLOCK][i % BLOCK]; }
    const T &operator[](size_t i) const { return blocks[i / BLOCK][i % BLOCK]; }
    const T &back() const { return (*this)[count - 1]; }

    void push_back(const T &value)
    {
        if (count % BLOCK == 0)
            blocks.emplace_back(new T[BLOCK]);
        blocks.back()[count % BLOCK] = value;
        ++count;
    }
    /// Empties the sequence and gives its memory back.
    void clear()
    {
        std::vector<std::unique_ptr<T[]>>().swap(blocks);
        count = 0;
    }

private:
    std::vector<std::unique_ptr<T[]>> blocks;
    size_t count = 0;
};

#endif
