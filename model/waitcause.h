#ifndef KOLVEX_MODEL_WAITCAUSE_H
#define KOLVEX_MODEL_WAITCAUSE_H

#include <cstdint>

/// What a vehicle that chose to stand waits for; set by its decision, so that a vehicle standing
/// for long can be told apart from one that merely keeps to its timetable.
enum class WaitCause : int32_t {
    None = 0,      ///< the vehicle moves (or chose a speed above 0)
    VehicleAhead,  ///< the vehicle ahead on its path, or one merging in front of it
    VehicleBeside, ///< a bus pulling out of a bay beside its lane
    RightOfWay,    ///< traffic it has to let pass at the crossroad ahead
    Signal,        ///< a red or amber light at the crossroad ahead
    ExitRoom,      ///< room on the lane after the crossroad ahead
    StopRoom,      ///< room to get into the bay or onto the platform of its stop
    PullOutRoom,   ///< a gap on the lane beside, to leave a bay
    Loading,       ///< passengers at a stop
    Timetable,     ///< the scheduled departure (an early bus or tram)
    RouteEnd       ///< the end of its way, where nothing leads on
};

/// A short lowercase text for reports ("vehicle ahead", "right of way", …).
const char *waitCauseText(WaitCause cause);

#endif
