#include "osmstop.h"

OSMStop::OSMStop(int64_t id, const std::string &name, StopKind kind, Node *node)
    : id(id), name(name), kind(kind), node(node)
{}
