#include "waitcause.h"

const char *waitCauseText(WaitCause cause)
{
    switch (cause) {
    case WaitCause::None:
        return "nothing";
    case WaitCause::VehicleAhead:
        return "vehicle ahead";
    case WaitCause::VehicleBeside:
        return "vehicle pulling out beside";
    case WaitCause::RightOfWay:
        return "right of way";
    case WaitCause::Signal:
        return "signal";
    case WaitCause::ExitRoom:
        return "room on exit lane";
    case WaitCause::StopRoom:
        return "room at stop";
    case WaitCause::PullOutRoom:
        return "gap to pull out";
    case WaitCause::Loading:
        return "loading";
    case WaitCause::Timetable:
        return "timetable";
    case WaitCause::RouteEnd:
        return "route end";
    }
    return "unknown";
}
