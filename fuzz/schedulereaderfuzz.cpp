// libFuzzer target: one input is a schedule file. The reader works on files, so each input is
// written to a file of this process first.

#include "timetable/scheduleparser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    static const QString path =
        QDir::temp().filePath(QStringLiteral("kolvex-fuzz-schedules-%1.xml").arg(QCoreApplication::applicationPid()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(bytes), qint64(size));
    }
    ScheduleParser parser;
    parser.parse(path);
    return 0;
}
