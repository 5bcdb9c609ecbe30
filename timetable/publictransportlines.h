#ifndef KOLVEX_TIMETABLE_PUBLICTRANSPORTLINES_H
#define KOLVEX_TIMETABLE_PUBLICTRANSPORTLINES_H

#include "publictransportline.h"

#include <vector>

/// The lines of a run, in creation order; owns them.
class PublicTransportLines
{
public:
    PublicTransportLines() = default;
    PublicTransportLines(const PublicTransportLines &) = delete;
    PublicTransportLines &operator=(const PublicTransportLines &) = delete;
    virtual ~PublicTransportLines();

    void add(PublicTransportLine *line) { list.push_back(line); }
    const std::vector<PublicTransportLine *> &lines() const { return list; }

private:
    std::vector<PublicTransportLine *> list;
};

#endif
