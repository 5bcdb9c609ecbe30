#ifndef KOLVEX_OSM_OSMELEMENTRECORDS_H
#define KOLVEX_OSM_OSMELEMENTRECORDS_H

// What the map readers keep of one node, way or relation, whatever the file format: each reader
// feeds the tags, node references and members of an element as it finds them, then stores the
// element. Tags are passed as UTF-8 views into the reader's own buffers (expat's for XML, the decoded
// block for PBF), so that neither reader converts text it does not keep.

#include "geo/geodesy.h"
#include "osm/mapassembly.h"
#include "osm/readerrules.h"
#include "osm/way.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class OSMData;

namespace osmtext {

/// Lane count of a lanes:forward or lanes:backward tag: 0 unless a non-negative decimal integer.
int32_t lanes(std::string_view text);

} // namespace osmtext

/// The tags of one node: whether it is a stop or carries traffic signals.
struct NodeRecord
{
    std::string name;
    bool tramStop = false;
    bool busStop = false;
    bool trafficSignals = false;

    void applyTag(std::string_view key, std::string_view value)
    {
        if (key == "name")
            name = std::string(value);
        else if (key == "railway" && value == "tram_stop")
            tramStop = true;
        else if (key == "highway" && value == "bus_stop")
            busStop = true;
        else if (key == "highway" && value == "traffic_signals")
            trafficSignals = true;
    }

    /// Whether the node is a stop, which is kept even when no way uses it.
    bool isStop() const { return busStop || tramStop; }
    /// Adds the node with its bus stop, then its tram stop. A node with this id read before is kept as it
    /// is and gains the stops; a different position is reported as ignored.
    void store(MapAssembly &map, int64_t id, const Location &location, const readerrules::ElementOrigin &origin) const;
};

/// The tags and node references of one way; only roads of the accepted classes and tram tracks are kept.
struct WayRecord : MapAssembly::WayShape
{
    std::vector<int64_t> nodeRefs;

    struct AcceptedHighway
    {
        std::string_view value;
        bool link;
    };
    /// The highway values of the roads kept, in the order they are tested; the _link values of trunk to
    /// tertiary set isLink.
    static const AcceptedHighway ACCEPTED_HIGHWAYS[12];

    void applyTag(std::string_view key, std::string_view value)
    {
        if (key == "highway") {
            for (const AcceptedHighway &accepted : ACCEPTED_HIGHWAYS) {
                if (value == accepted.value) {
                    acceptHighway(accepted);
                    break;
                }
            }
        } else if (key == "railway") {
            if (value == "tram")
                isTram = true;
        } else if (key == "oneway") {
            if (value == "yes")
                isOneway = true;
        } else if (key == "lanes:forward") {
            lanesForward = osmtext::lanes(value);
        } else if (key == "lanes:backward") {
            lanesBackward = osmtext::lanes(value);
        }
    }

    /// A road of an accepted class or a tram track; other ways are of no use and dropped silently.
    bool wanted() const { return isHighway || isTram; }
    /// Adds a wanted way: repeated references are trimmed (and reported), a way left with fewer than two
    /// references or whose id was taken is reported and dropped; road lanes follow from the direction only.
    void store(MapAssembly &map, int64_t id, const readerrules::ElementOrigin &origin);

private:
    void acceptHighway(const AcceptedHighway &accepted);
};

/// The tags and members of one relation; only route relations of trams, buses and trolleybuses are kept.
struct RelationRecord
{
    enum class MemberType { Node, Way, Other };

    std::string name;
    std::string ref;
    std::string route;
    bool isRoute = false;
    std::vector<int64_t> ways;
    std::vector<int64_t> forwardWays;
    std::vector<int64_t> backwardWays;
    std::vector<int64_t> stopNodes;

    void applyTag(std::string_view key, std::string_view value)
    {
        if (key == "type") {
            if (value == "route")
                isRoute = true;
        } else if (key == "route") {
            route = std::string(value);
        } else if (key == "name") {
            name = std::string(value);
        } else if (key == "ref") {
            ref = std::string(value);
        }
    }

    /// Way members go by role to forwardWays, backwardWays or ways; node members, whatever their role,
    /// to stopNodes.
    void addMember(MemberType type, int64_t memberRef, std::string_view role)
    {
        if (type == MemberType::Way) {
            if (role == "forward")
                forwardWays.push_back(memberRef);
            else if (role == "backward")
                backwardWays.push_back(memberRef);
            else
                ways.push_back(memberRef);
        } else if (type == MemberType::Node) {
            stopNodes.push_back(memberRef);
        }
    }

    /// A route of trams, buses or trolleybuses; other relations are dropped silently.
    bool wanted() const { return isRoute && (route == "tram" || route == "bus" || route == "trolleybus"); }
    /// Adds a wanted relation; one whose id was read before is reported and dropped.
    void store(MapAssembly &map, int64_t id, const readerrules::ElementOrigin &origin) const;
};

#endif
