#include "osmnodes.h"

OSMNodes::~OSMNodes()
{
    for (Node *node : list)
        delete node;
}

Node *OSMNodes::findById(int64_t id) const
{
    auto it = byId.find(id);
    return it == byId.end() ? nullptr : it->second;
}

void OSMNodes::add(Node *node)
{
    list.push_back(node);
    byId.emplace(node->getId(), node);
}

size_t OSMNodes::shake()
{
    size_t kept = 0;
    size_t removed = 0;
    for (Node *node : list) {
        if (node->isUsed()) {
            list[kept++] = node;
        } else {
            byId.erase(node->getId());
            delete node;
            ++removed;
        }
    }
    list.resize(kept);
    return removed;
}
