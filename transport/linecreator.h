#ifndef KOLVEX_TRANSPORT_LINECREATOR_H
#define KOLVEX_TRANSPORT_LINECREATOR_H

class BindingData;
class OSMRoutes;
class PublicTransportLines;
class ScheduleParser;
struct SimulationData;

/// Joins schedules with ordered map routes into runnable lines, and places the vehicles already
/// under way at the start time.
class LineCreator
{
public:
    static void createLines(OSMRoutes *routes, ScheduleParser *schedules, PublicTransportLines *lines,
                            BindingData *bindingData);
    static void pregenerateLines(SimulationData *data, BindingData *bindingData);
};

#endif
