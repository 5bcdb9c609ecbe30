#include "osmstop.h"

#include <atomic>

namespace {
std::atomic<int64_t> nextStopId{0};
}

OSMStop::OSMStop(const std::string &name, StopKind kind, Node *node)
    : id(nextStopId++), name(name), kind(kind), node(node)
{}
