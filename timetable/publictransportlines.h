#ifndef KOLVEX_TIMETABLE_PUBLICTRANSPORTLINES_H
#define KOLVEX_TIMETABLE_PUBLICTRANSPORTLINES_H

#include "container/owninglist.h"
#include "publictransportline.h"

#include <vector>

/// The lines of a run, in creation order; owns them.
class PublicTransportLines
{
public:
    virtual ~PublicTransportLines() = default;

    void add(PublicTransportLine *line) { list.add(line); }
    const std::vector<PublicTransportLine *> &lines() const { return list.items(); }

private:
    OwningList<PublicTransportLine> list;
};

#endif
