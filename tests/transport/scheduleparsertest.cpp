#include "transport/scheduleparser.h"
#include "transport/schedule.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <iostream>
#include <sstream>

namespace {

class StderrCapture
{
public:
    StderrCapture() : old(std::cerr.rdbuf(buffer.rdbuf())) {}
    ~StderrCapture() { std::cerr.rdbuf(old); }
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;
    std::string text() const { return buffer.str(); }

private:
    std::ostringstream buffer;
    std::streambuf *old;
};

QString fixture(const char *name)
{
    return QStringLiteral(KOLVEX_TEST_DATA_DIR "/schedules/") + QLatin1String(name);
}

std::string parseCapturing(ScheduleParser &parser, const QString &path)
{
    StderrCapture capture;
    parser.parse(path);
    return capture.text();
}

std::vector<std::string> stopNames(const Schedule *schedule)
{
    std::vector<std::string> names;
    for (const ScheduleStop &stop : schedule->stops)
        names.push_back(stop.name);
    return names;
}

/// True for the check line of a failed stop attribute: file name, a source line number, condition and message.
bool isCheckMessage(const std::string &line, const std::string &attribute)
{
    const std::string head = "Soubor: ScheduleParser:";
    const std::string tail =
        " | condition: toIntOk == false | message: parseStopAttributes(), (\"" + attribute + "\").toInt failed!";
    if (line.size() <= head.size() + tail.size() || line.compare(0, head.size(), head) != 0 ||
        line.compare(line.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::string number = line.substr(head.size(), line.size() - head.size() - tail.size());
    return number.find_first_not_of("0123456789") == std::string::npos;
}

std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(ScheduleParserFile, ReadsLinesTimesAndStops)
{
    ScheduleParser parser;
    const QString path = fixture("l3-tram-troj-bus.xml");
    EXPECT_EQ(parseCapturing(parser, path), "Schedule parser: Opening file \"" + path.toStdString() +
                                                "\"... Done!\nSchedule parser: Parsing... Done!\n");
    ASSERT_EQ(parser.schedules().size(), 3u);
    const Schedule *tram = parser.schedules()[0];
    EXPECT_EQ(tram->name, "3");
    EXPECT_EQ(tram->lineType, Schedule::Tram);
    EXPECT_EQ(tram->startTimes, (std::vector<int32_t>{300, 310}));
    EXPECT_EQ(stopNames(tram), (std::vector<std::string>{"Hakaniemi", "Kaisaniemenpuisto", "Rautatieasema (M)"}));
    EXPECT_EQ(tram->stops[2].tRel, 3);
    EXPECT_EQ(tram->stops[2].tAbs, 5);

    // Route before times, and a name outside ASCII kept as UTF-8.
    const Schedule *trolleybus = parser.schedules()[1];
    EXPECT_EQ(trolleybus->lineType, Schedule::Trolleybus);
    EXPECT_EQ(trolleybus->startTimes, std::vector<int32_t>{1439});
    EXPECT_EQ(trolleybus->stops[0].name, "T\u00f6\u00f6l\u00f6n tulli");
    EXPECT_EQ(parser.schedules()[2]->lineType, Schedule::Bus);
    EXPECT_EQ(parser.schedules()[1]->id, tram->id + 1);
    EXPECT_EQ(parser.schedules()[2]->id, tram->id + 2);

    // A second parse appends.
    parseCapturing(parser, path);
    EXPECT_EQ(parser.schedules().size(), 6u);
    EXPECT_EQ(parser.schedules()[3]->name, "3");
}

TEST(ScheduleParserLines, DiscardedLinesConsumeIdsAndBadNumbersBecomeZero)
{
    const int32_t firstId = Schedule().id + 1;
    ScheduleParser parser;
    const std::string output = parseCapturing(parser, fixture("l7-discarded-and-odd-lines.xml"));

    std::vector<std::string> names;
    std::vector<int32_t> ids;
    std::vector<int32_t> types;
    for (const Schedule *schedule : parser.schedules()) {
        names.push_back(schedule->name);
        ids.push_back(schedule->id);
        types.push_back(schedule->lineType);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"4", "6", "6", "7", "9"}));
    EXPECT_EQ(ids, (std::vector<int32_t>{firstId + 2, firstId + 3, firstId + 4, firstId + 5, firstId + 6}));
    EXPECT_EQ(types, (std::vector<int32_t>{Schedule::NoType, Schedule::Tram, Schedule::Tram, Schedule::Bus,
                                           Schedule::NoType}));

    const Schedule *badNumbers = parser.schedules()[3];
    EXPECT_EQ(badNumbers->startTimes, (std::vector<int32_t>{0, 720, 0}));
    ASSERT_EQ(badNumbers->stops.size(), 3u);
    for (const ScheduleStop &stop : {badNumbers->stops[1], badNumbers->stops[2]}) {
        EXPECT_EQ(stop.tRel, 0) << stop.name;
        EXPECT_EQ(stop.tAbs, 0) << stop.name;
    }

    const Schedule *strayElements = parser.schedules()[4];
    EXPECT_EQ(strayElements->startTimes, std::vector<int32_t>{500});
    EXPECT_EQ(stopNames(strayElements), std::vector<std::string>{"Simonkatu"});

    const std::vector<std::string> lines = splitLines(output);
    ASSERT_EQ(lines.size(), 6u) << output;
    EXPECT_EQ(lines[0].rfind("Schedule parser: Opening file \"", 0), 0u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 10), "\"... Done!");
    const std::string parsing = "Schedule parser: Parsing... ";
    ASSERT_EQ(lines[1].rfind(parsing, 0), 0u);
    EXPECT_TRUE(isCheckMessage(lines[1].substr(parsing.size()), "t_rel")) << lines[1];
    EXPECT_TRUE(isCheckMessage(lines[2], "t_abs")) << lines[2];
    EXPECT_TRUE(isCheckMessage(lines[3], "t_rel")) << lines[3];
    EXPECT_TRUE(isCheckMessage(lines[4], "t_abs")) << lines[4];
    EXPECT_EQ(lines[5], "Done!");
}

TEST(ScheduleParserBadInput, MissingFileEmptyFileAndNoLines)
{
    ScheduleParser parser;
    const QString missing = fixture("no-such-file.xml");
    EXPECT_EQ(parseCapturing(parser, missing), "Schedule parser: Opening file \"" + missing.toStdString() +
                                                   "\"... Error while opening file. Returning.\n");

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString empty = dir.filePath(QStringLiteral("empty.xml"));
    QFile file(empty);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(parseCapturing(parser, empty), "Schedule parser: Opening file \"" + empty.toStdString() +
                                                 "\"... Done!\nSchedule parser: Parsing... XML parsing error: "
                                                 "Premature end of document.\nDone!\n");

    const QString noLines = fixture("l0-no-lines.xml");
    EXPECT_EQ(parseCapturing(parser, noLines), "Schedule parser: Opening file \"" + noLines.toStdString() +
                                                   "\"... Done!\nSchedule parser: Parsing... Done!\n");
    EXPECT_TRUE(parser.schedules().empty());
}

TEST(ScheduleParserBadInput, CutOffFilesNeverHangAndKeepOnlyCompleteLines)
{
    QFile source(fixture("l3-tram-troj-bus.xml"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray whole = source.readAll();
    ScheduleParser full;
    parseCapturing(full, fixture("l3-tram-troj-bus.xml"));
    ASSERT_EQ(full.schedules().size(), 3u);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("cut.xml"));
    const int lastLineEnd = whole.lastIndexOf("</line>") + 7;
    const int rootEnd = whole.lastIndexOf("</schedules>") + 12;
    size_t previous = 0;
    for (int length = 0; length < whole.size(); ++length) {
        QFile cut(path);
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cut.write(whole.left(length));
        cut.close();
        ScheduleParser parser;
        const std::string output = parseCapturing(parser, path);
        const std::string context = "cut at byte " + std::to_string(length);
        EXPECT_EQ(output.find("XML parsing error: ") != std::string::npos, length < rootEnd) << context;
        ASSERT_LE(parser.schedules().size(), 3u) << context;
        for (size_t i = 0; i < parser.schedules().size(); ++i) {
            const Schedule *read = parser.schedules()[i];
            const Schedule *expected = full.schedules()[i];
            EXPECT_EQ(read->name, expected->name) << context;
            EXPECT_EQ(read->startTimes, expected->startTimes) << context;
            EXPECT_EQ(stopNames(read), stopNames(expected)) << context;
        }
        EXPECT_GE(parser.schedules().size(), previous) << context;
        if (length >= lastLineEnd) {
            EXPECT_EQ(parser.schedules().size(), 3u) << context;
        }
        previous = parser.schedules().size();
    }
}
