#include "schedule.h"

Schedule::Schedule(int32_t id) : id(id) {}
