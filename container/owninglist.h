#ifndef KOLVEX_CONTAINER_OWNINGLIST_H
#define KOLVEX_CONTAINER_OWNINGLIST_H

#include <algorithm>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

/// How an OwningList looks its elements up: no index at all.
struct NoIndex
{};

/// Elements that may share a key: the index keeps every element of a key, in list order.
template <class KeyOf> struct SharedKeys
{};

namespace detail {

template <class T, class Index> struct OwningListIndex
{
    static constexpr bool UNIQUE = true;
    using Key = std::decay_t<std::invoke_result_t<Index, const T &>>;
    using Map = std::unordered_map<Key, T *>;
    static Index keyOf() { return Index(); }
};

template <class T, class KeyOf> struct OwningListIndex<T, SharedKeys<KeyOf>>
{
    static constexpr bool UNIQUE = false;
    using Key = std::decay_t<std::invoke_result_t<KeyOf, const T &>>;
    using Map = std::unordered_map<Key, std::vector<T *>>;
    static KeyOf keyOf() { return KeyOf(); }
};

template <class T> struct OwningListIndex<T, NoIndex>
{
    struct Map
    {
        void clear() {}
    };
};

} // namespace detail

/// The elements of one kind, in insertion order; owns them and deletes them with itself. `Index`
/// is NoIndex, a function object giving an element's key (keys unique: a later element with a key
/// already present is listed but not found by it), or SharedKeys of one (every element of a key
/// found, in list order). A key must not change while its element is listed, or reindex follows.
template <class T, class Index = NoIndex> class OwningList
{
    using Traits = detail::OwningListIndex<T, Index>;

public:
    OwningList() = default;
    OwningList(const OwningList &) = delete;
    OwningList &operator=(const OwningList &) = delete;
    ~OwningList()
    {
        for (T *item : list)
            delete item;
    }

    const std::vector<T *> &items() const { return list; }
    size_t size() const { return list.size(); }

    /// Takes ownership of `item` and appends it.
    void add(T *item)
    {
        list.push_back(item);
        addToIndex(item);
    }

    /// The first element with this key, null if none.
    template <class Key> T *find(const Key &key) const
    {
        const auto it = index.find(key);
        if constexpr (Traits::UNIQUE)
            return it == index.end() ? nullptr : it->second;
        else
            return it == index.end() || it->second.empty() ? nullptr : it->second.front();
    }

    /// Every element with this key, in list order.
    template <class Key> std::vector<T *> findAll(const Key &key) const
    {
        static_assert(!Traits::UNIQUE, "an index of unique keys finds one element");
        const auto it = index.find(key);
        return it == index.end() ? std::vector<T *>() : it->second;
    }

    /// Erases the first occurrence of `item` and deletes it; an element not listed is left alone.
    void remove(T *item)
    {
        const auto it = std::find(list.begin(), list.end(), item);
        if (it == list.end())
            return;
        list.erase(it);
        removeFromIndex(item);
        delete item;
    }

    /// Deletes every element for which `drop` holds, keeping the order of the others; returns how
    /// many it deleted.
    template <class Drop> size_t removeIf(Drop drop)
    {
        size_t kept = 0;
        for (T *item : list) {
            if (!drop(*item)) {
                list[kept++] = item;
                continue;
            }
            removeFromIndex(item);
            delete item;
        }
        const size_t removed = list.size() - kept;
        list.resize(kept);
        return removed;
    }

    /// Rebuilds the index from the elements' keys as they are now.
    void reindex()
    {
        index.clear();
        for (T *item : list)
            addToIndex(item);
    }

private:
    void addToIndex(T *item)
    {
        if constexpr (std::is_same_v<Index, NoIndex>)
            (void)item;
        else if constexpr (Traits::UNIQUE)
            index.emplace(Traits::keyOf()(*item), item);
        else
            index[Traits::keyOf()(*item)].push_back(item);
    }

    void removeFromIndex(T *item)
    {
        if constexpr (std::is_same_v<Index, NoIndex>) {
            (void)item;
        } else {
            const auto it = index.find(Traits::keyOf()(*item));
            if (it == index.end())
                return;
            if constexpr (Traits::UNIQUE) {
                if (it->second == item)
                    index.erase(it);
            } else {
                it->second.erase(std::find(it->second.begin(), it->second.end(), item));
            }
        }
    }

    std::vector<T *> list;
    typename Traits::Map index;
};

#endif
