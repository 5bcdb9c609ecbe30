#include "mapassembly.h"

#include "osmdata.h"

#include <algorithm>

bool MapAssembly::findRow(int64_t id, size_t &row) const
{
    if (!ascending) {
        const auto it = rowById.find(id);
        if (it == rowById.end())
            return false;
        row = it->second;
        return true;
    }
    // The first row whose id is not below `id`, by bisection.
    size_t low = 0;
    size_t high = rows.size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (rows[middle].id < id)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == rows.size() || rows[low].id != id)
        return false;
    row = low;
    return true;
}

bool MapAssembly::find(int64_t id, NodeSlot &slot) const
{
    if (Node *existing = data->nodes()->findById(id)) {
        slot.existing = existing;
        return true;
    }
    slot.existing = nullptr;
    return findRow(id, slot.row);
}

void MapAssembly::markUsed(const NodeSlot &slot)
{
    if (!slot.existing)
        rowFlags[slot.row] |= Used;
}

void MapAssembly::addNode(int64_t id, const Location &location, bool trafficSignals, bool busStop, bool tramStop,
                          const std::string &name, const readerrules::ElementOrigin &origin)
{
    NodeSlot slot;
    // Past the last id of an ascending table no node can have been read with this id.
    const bool maybeRead = !ascending || rows.empty() || id <= rows.back().id || !data->nodes()->nodes().empty();
    if (maybeRead && find(id, slot)) {
        const Location earlier =
            slot.existing ? slot.existing->getLocation() : Location(rows[slot.row].lat, rows[slot.row].lon);
        if (!(earlier == location))
            readerrules::reportTrimmed(log, origin, "position ignored: a node with this id was read before elsewhere");
    } else {
        if (ascending && !rows.empty() && id < rows.back().id) {
            ascending = false;
            rowById.reserve(rows.size() + 1);
            for (size_t row = 0; row < rows.size(); ++row)
                rowById.emplace(rows[row].id, row);
        }
        slot.row = rows.size();
        rows.push_back(Row{id, location.lat, location.lon});
        rowFlags.push_back(trafficSignals ? TrafficSignals : 0);
        if (!ascending)
            rowById.emplace(id, slot.row);
    }
    // Stops keep their node, like roads do.
    if (busStop) {
        stops.push_back(PendingStop{true, name, slot});
        markUsed(slot);
    }
    if (tramStop) {
        stops.push_back(PendingStop{false, name, slot});
        markUsed(slot);
    }
}

bool MapAssembly::hasWay(int64_t id) const
{
    return wayIds.count(id) > 0 || data->ways()->findById(id) != nullptr;
}

void MapAssembly::addWay(int64_t id, const WayShape &shape, const std::vector<int64_t> &nodeRefs,
                         const readerrules::ElementOrigin &origin)
{
    if (hasWay(id)) {
        readerrules::reportDropped(log, origin, "id " + std::to_string(id) + " was taken by an earlier way");
        return;
    }
    PendingWay way{id, shape, {}};
    way.nodes.reserve(nodeRefs.size());
    for (int64_t ref : nodeRefs) {
        NodeSlot slot;
        if (find(ref, slot)) {
            markUsed(slot);
            way.nodes.push_back(slot);
        } else {
            // Said without the reader's name, as ever.
            Diagnostic missing;
            missing.elementId = ref;
            missing.text = "addWay finding Node failed: fromId == " + std::to_string(ref);
            log.add(std::move(missing));
        }
    }
    wayIds.insert(id);
    ways.push_back(std::move(way));
}

size_t MapAssembly::finish()
{
    // Used rows become Nodes in reading order. Only they are indexed, in ascending row order, since
    // a file may hold millions of rows that no way uses.
    std::vector<size_t> usedRows;
    std::vector<Node *> made;
    size_t unused = skipped;
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rowFlags[row] & Used) {
            usedRows.push_back(row);
            made.push_back(data->addNode(rows[row].id, Location(rows[row].lat, rows[row].lon),
                                         (rowFlags[row] & TrafficSignals) != 0));
        } else {
            ++unused;
        }
    }
    auto nodeOf = [&usedRows, &made](const NodeSlot &slot) {
        if (slot.existing)
            return slot.existing;
        return made[size_t(std::lower_bound(usedRows.begin(), usedRows.end(), slot.row) - usedRows.begin())];
    };
    rows.clear();
    rowFlags.clear();
    std::unordered_map<int64_t, size_t>().swap(rowById);

    for (const PendingStop &stop : stops) {
        if (stop.bus)
            data->addBusStop(stop.name, nodeOf(stop.node));
        else
            data->addTramStop(stop.name, nodeOf(stop.node));
    }
    for (const PendingWay &pending : ways) {
        Way *way = new Way;
        way->setId(pending.id);
        way->setHighway(pending.shape.isHighway);
        way->setTram(pending.shape.isTram);
        way->setOneway(pending.shape.isOneway);
        way->setLink(pending.shape.isLink);
        way->setRoadClass(pending.shape.roadClass);
        way->setLanesForward(pending.shape.lanesForward);
        way->setLanesBackward(pending.shape.lanesBackward);
        for (const NodeSlot &slot : pending.nodes)
            way->addNode(nodeOf(slot));
        data->ways()->add(way); // the collection owns it from here
    }
    stops.clear();
    ways.clear();
    wayIds.clear();
    ascending = true;
    skipped = 0;
    return unused;
}
