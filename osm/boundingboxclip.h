#ifndef KOLVEX_OSM_BOUNDINGBOXCLIP_H
#define KOLVEX_OSM_BOUNDINGBOXCLIP_H

#include "boundingbox.h"

#include <cstddef>
#include <memory>

class OSMData;

/// Cuts a map as read down to a box, so that a part of a large extract can be simulated alone.
///
/// Every way that reaches into the box keeps what lies inside it: where it crosses an edge, it ends
/// at a new node placed on the edge. A way that leaves the box and comes back keeps each of its
/// pieces inside, as the roads a user sees within the box are what the box was drawn around; cutting
/// at the first exit would lose streets in plain view. A closed way is one piece through the node
/// where it closes. The first piece keeps the way's id, further pieces and the new nodes take ids
/// above every id of the extract. Stops outside the box go; route relations keep the members that
/// remain, a piece in place of its way, and go when no way remains. Ways meeting at a crossing of an
/// edge share the new node, so they stay connected there.
class BoundingBoxClip
{
public:
    /// What the clip kept and let go.
    struct Report
    {
        size_t waysKept = 0;         ///< ways with something inside the box
        size_t waysCut = 0;          ///< of those, the ones that lost a part
        size_t waysDropped = 0;      ///< ways wholly outside
        size_t extraPieces = 0;      ///< pieces beyond the first of a way that leaves and comes back
        size_t edgeNodes = 0;        ///< nodes placed where a way crosses an edge
        size_t stopsDropped = 0;     ///< tram and bus stops outside the box
        size_t relationsDropped = 0; ///< route relations with no way left
    };

    /// The part of `source` within `box` as a new extract, which the caller owns; `source` stays as
    /// it is. Runs in the preparation thread, between reading the map and converting it.
    static std::unique_ptr<OSMData> clip(const OSMData &source, const BoundingBox &box, Report *report = nullptr);
};

#endif
