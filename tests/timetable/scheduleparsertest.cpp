#include "timetable/scheduleparser.h"

#include "report/diagnostics.h"
#include "timetable/schedule.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <sstream>

namespace {

QString fixture(const char *name)
{
    return QStringLiteral(KOLVEX_TEST_DATA_DIR "/schedules/") + QLatin1String(name);
}

/// Parses `path` into `parser` and returns whether the whole file was read.
bool parseQuietly(ScheduleParser &parser, const QString &path, Diagnostics &&diagnostics = Diagnostics())
{
    return parser.parse(path, diagnostics);
}

/// Each schedule in one line: "#id name type lineType: start times | stop t_rel/t_abs, ...", the id counted
/// from the first schedule's.
std::vector<std::string> summaries(const ScheduleParser &parser)
{
    std::vector<std::string> result;
    for (const Schedule *schedule : parser.schedules()) {
        std::ostringstream out;
        out << '#' << schedule->id - parser.schedules().front()->id << ' ' << schedule->name << " type "
            << schedule->lineType << ":";
        for (int32_t time : schedule->startTimes)
            out << ' ' << time;
        out << " |";
        for (const ScheduleStop &stop : schedule->stops)
            out << (&stop == &schedule->stops.front() ? " " : ", ") << stop.name << ' ' << stop.tRel << '/'
                << stop.tAbs;
        result.push_back(out.str());
    }
    return result;
}

} // namespace

TEST(ScheduleParser, ReadsLinesTimesAndStopsDiscardsOddLinesAndAppendsOnASecondParse)
{
    ScheduleParser parser;
    EXPECT_TRUE(parseQuietly(parser, fixture("l3-tram-troj-bus.xml")));
    // The trolleybus line has its route before its times, and a name outside ASCII kept as UTF-8.
    const std::vector<std::string> expected = {
        "#0 3 type 1: 300 310 | Hakaniemi 0/0, Kaisaniemenpuisto 2/2, Rautatieasema (M) 3/5",
        "#1 T1 type 2: 1439 | T\u00f6\u00f6l\u00f6n tulli 0/0, Kamppi 4/4",
        "#2 55 type 3: 780 | Rautatientori 0/0, Hakaniemi 5/5"};
    EXPECT_EQ(summaries(parser), expected);
    parseQuietly(parser, fixture("l3-tram-troj-bus.xml"));
    EXPECT_EQ(summaries(parser).size(), 6u);

    // Lines 1 and 2 are discarded but consume ids (every parser numbers from 0); "Tram" is no type; line 7's
    // texts that are not numbers become 0; line 9's m and stop outside their parents are ignored.
    ScheduleParser odd;
    Diagnostics diagnostics;
    odd.parse(fixture("l7-discarded-and-odd-lines.xml"), diagnostics);
    std::vector<int64_t> checkLines;
    for (const Diagnostic &d : diagnostics.all())
        if (d.severity == Severity::Warning)
            checkLines.push_back(d.line);
    EXPECT_EQ(checkLines, (std::vector<int64_t>{30, 30, 31, 31})) << "t_rel and t_abs of Mikonkatu and Kolmikulma";
    EXPECT_EQ(odd.schedules().front()->id, 2);
    EXPECT_EQ(summaries(odd),
              (std::vector<std::string>{"#0 4 type 0: 600 | Senaatintori 0/0", "#1 6 type 1: 600 | Erottaja 0/0",
                                        "#2 6 type 1: 610 | Erottaja 0/0",
                                        "#3 7 type 3: 0 720 0 | Simonkatu 0/0, Mikonkatu 0/0, Kolmikulma 0/0",
                                        "#4 9 type 0: 500 | Simonkatu 0/0"}));
}

TEST(ScheduleParser, BadInputGivesNoSchedulesAndCutOffFilesKeepOnlyCompleteLines)
{
    for (const char *name : {"no-such-file.xml", "l0-no-lines.xml"}) {
        ScheduleParser parser;
        Diagnostics diagnostics;
        parser.parse(fixture(name), diagnostics);
        EXPECT_TRUE(parser.schedules().empty()) << name;
        EXPECT_EQ(diagnostics.hasErrors(), std::string(name) == "no-such-file.xml") << name;
    }
    QFile source(fixture("l3-tram-troj-bus.xml"));
    const QByteArray whole = source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
    ScheduleParser full;
    parseQuietly(full, fixture("l3-tram-troj-bus.xml"));
    const std::vector<std::string> fullLines = summaries(full);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.xml"));
    const int lastLineEnd = whole.lastIndexOf("</line>") + 7;
    const int rootEnd = whole.lastIndexOf("</schedules>") + 12;
    size_t previous = 0;
    for (int length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE("cut at byte " + std::to_string(length));
        QFile cut(path);
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly | QIODevice::Truncate) && cut.write(whole.left(length)) == length);
        cut.close();
        ScheduleParser parser;
        EXPECT_EQ(parseQuietly(parser, path), length >= rootEnd);
        // Lines only ever appear as the document grows, complete, and all are there once the last one is.
        const std::vector<std::string> lines = summaries(parser);
        ASSERT_LE(lines.size(), fullLines.size());
        EXPECT_EQ(lines, std::vector<std::string>(fullLines.begin(), fullLines.begin() + lines.size()));
        EXPECT_GE(lines.size(), previous);
        EXPECT_TRUE(length < lastLineEnd || lines.size() == 3);
        previous = lines.size();
    }
}
