#ifndef KOLVEX_TRANSPORT_LINEGENERATOR_H
#define KOLVEX_TRANSPORT_LINEGENERATOR_H

#include <vector>

class PublicTransportLine;
struct SimulationData;

/// Creates the bus or tram of each due departure at its line's start platform; lines whose
/// vehicle found no room wait in `pending` and are retried every step.
class LineGenerator
{
public:
    LineGenerator() = default;
    virtual ~LineGenerator() = default;

    const std::vector<PublicTransportLine *> &pending() const { return m_pending; }

private:
    std::vector<PublicTransportLine *> m_pending;
};

#endif
