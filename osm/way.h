#ifndef KOLVEX_OSM_WAY_H
#define KOLVEX_OSM_WAY_H

#include <cstdint>
#include <string>
#include <vector>

class Node;

/// Highway classes, in the order of their integer values.
enum RoadClass : int32_t {
    Motorway = 0,
    Trunk = 1,
    Primary = 2,
    Secondary = 3,
    Tertiary = 4,
    Unclassified = 5,
    Residential = 6,
    Service = 7,
    Road = 8
};

RoadClass roadClassFromString(const std::string &text);
std::string roadClassToString(int32_t roadClass, bool isLink);

/// One road or tram way kept for simulation; after splitting several pieces share one id.
class Way
{
public:
    int64_t getId() const { return id; }
    void setId(int64_t value) { id = value; }
    bool isHighway() const { return highway; }
    void setHighway(bool value) { highway = value; }
    bool isTram() const { return tram; }
    void setTram(bool value) { tram = value; }
    bool isOneway() const { return oneway; }
    void setOneway(bool value) { oneway = value; }
    bool isLink() const { return link; }
    void setLink(bool value) { link = value; }
    int32_t getLanesForward() const { return lanesForward; }
    void setLanesForward(int32_t value) { lanesForward = value; }
    int32_t getLanesBackward() const { return lanesBackward; }
    void setLanesBackward(int32_t value) { lanesBackward = value; }
    RoadClass getRoadClass() const { return roadClass; }
    void setRoadClass(RoadClass value) { roadClass = value; }

    std::vector<Node *> &nodes() { return nodeList; }
    const std::vector<Node *> &nodes() const { return nodeList; }
    /// Null for a way without nodes.
    Node *firstNode() const { return nodeList.empty() ? nullptr : nodeList.front(); }
    Node *lastNode() const { return nodeList.empty() ? nullptr : nodeList.back(); }
    bool isEndNode(const Node *node) const { return node && (node == firstNode() || node == lastNode()); }
    /// Appends a node; the previous last node stops listing this way as one of its ends. False,
    /// and nothing changed, for a null node.
    bool addNode(Node *node);
    /// Removes the first occurrence of `node`; false if the way does not hold it.
    bool disconnectNode(Node *node);

private:
    int64_t id = 0;
    bool highway = false;
    bool tram = false;
    bool oneway = false;
    bool link = false;
    int32_t lanesForward = 0;
    int32_t lanesBackward = 0;
    RoadClass roadClass = Road;
    std::vector<Node *> nodeList;
};

#endif
