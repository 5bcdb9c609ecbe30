#include "schedule.h"

#include <atomic>

namespace {
std::atomic<int32_t> nextScheduleId{0};
}

Schedule::Schedule() : id(nextScheduleId++) {}
