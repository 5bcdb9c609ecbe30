// libFuzzer target: one input is a schedule file.

#include "fuzzinput.h"
#include "report/diagnostics.h"
#include "timetable/scheduleparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QString path = writeFuzzInput("schedules", bytes, size);
    if (path.isEmpty())
        return 0;
    ScheduleParser parser;
    Diagnostics diagnostics;
    parser.parse(path, diagnostics);
    return 0;
}
