// kolvex-headless run as a user runs it: exit codes on bad command lines and inputs, the same run
// on any thread count, and the bundled timetable.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

/// What one run of kolvex-headless left: its exit code (−1 after a crash) and its two streams.
struct HeadlessRun
{
    int exitCode;
    QString out;
    QString err;

    /// The first number after `label` in the summary; −1 if absent.
    long long figure(const QString &label) const
    {
        const QRegularExpression re(QRegularExpression::escape(label) + QStringLiteral(" \\.* (-?\\d+)"));
        const QRegularExpressionMatch m = re.match(out);
        return m.hasMatch() ? m.captured(1).toLongLong() : -1;
    }
};

/// Runs kolvex-headless as a user runs it, with `arguments`, and waits for it to end.
HeadlessRun runHeadless(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(KOLVEX_HEADLESS_PROGRAM), arguments);
    process.waitForFinished(300000);
    return HeadlessRun{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                       QString::fromUtf8(process.readAllStandardOutput()),
                       QString::fromUtf8(process.readAllStandardError())};
}

const QString MAP = QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm");
const QString SCHEDULES = QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml");

QString hostile(const char *name)
{
    return QStringLiteral(KOLVEX_TEST_DATA_DIR "/hostile/") + QLatin1String(name);
}

} // namespace

TEST(HeadlessProgram, BadCommandLinesExitWithTwoAndInputsThatCannotBeUsedWithOneNamingTheFile)
{
    const QStringList badLines[] = {
        {"--bogus"}, {"--start", "25:00:00"}, {"--seed", "-4"},       {"extra"},
        {"--csv"},   {"--max-cars", "-1"},    {"--max-cars", "lots"}, {"--bbox", "24.9,60.1,25"}};
    for (const QStringList &arguments : badLines) {
        const HeadlessRun run = runHeadless(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("usage: kolvex-headless")) << arguments.join(' ').toStdString();
    }
    const HeadlessRun help = runHeadless({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: kolvex-headless [options]"));
    const HeadlessRun version = runHeadless({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.trimmed(), "kolvex-headless " KOLVEX_VERSION_TEXT);

    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.xml"), empty = dir.filePath("empty.xml");
    const QString cutPbf = dir.filePath("cut.osm.pbf"), png = dir.filePath("picture.png");
    const QString longTag = dir.filePath("long-tag.osm"); // a tag value past the reader's cap of 1 MiB
    QFile pbf(QStringLiteral(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm.pbf"));
    ASSERT_TRUE(pbf.open(QIODevice::ReadOnly));
    const std::pair<QString, QByteArray> files[] = {
        {empty, {}},
        {cutPbf, pbf.read(pbf.size() / 3)},
        {png, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
        {longTag, "<osm><node id=\"1\" lat=\"60.17\" lon=\"24.94\"/><node id=\"2\" lat=\"60.18\" lon=\"24.94\"/>"
                  "<way id=\"7\"><nd ref=\"1\"/><nd ref=\"2\"/><tag k=\"highway\" v=\"primary\"/><tag k=\"note\" v=\"" +
                      QByteArray(1100000, 'a') + "\"/></way></osm>"}};
    for (const auto &f : files) {
        QFile out(f.first);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(f.second) == f.second.size());
    }
    const std::pair<QString, QString> inputs[] = {{missing, SCHEDULES},
                                                  {dir.path(), SCHEDULES},
                                                  {empty, SCHEDULES},
                                                  {cutPbf, SCHEDULES},
                                                  {png, SCHEDULES},
                                                  {longTag, SCHEDULES},
                                                  {MAP, missing},
                                                  {MAP, empty},
                                                  {MAP, png},
                                                  {hostile("lon360-tram-way.osm"), SCHEDULES},
                                                  {hostile("star-100-ways-one-node.osm"), SCHEDULES},
                                                  {hostile("lat1000-way.osm"), SCHEDULES}};
    for (const auto &input : inputs) {
        const QString bad = input.first == MAP ? input.second : input.first;
        const HeadlessRun run = runHeadless({"--osm", input.first, "--schedules", input.second, "--steps", "10"});
        EXPECT_EQ(run.exitCode, 1) << bad.toStdString();
        EXPECT_TRUE(run.err.contains(bad)) << run.err.toStdString();
    }
    EXPECT_EQ(runHeadless({"--osm", missing, "--write-osm", dir.filePath("out.osm")}).exitCode, 1);
    EXPECT_EQ(runHeadless({"--osm", MAP, "--max-network-cells", "1000", "--steps", "1"}).exitCode, 1);
    EXPECT_EQ(runHeadless({"--osm", MAP, "--draft-schedules", dir.filePath("missing/x.xml")}).exitCode, 1);
    const HeadlessRun tilesOutsideTheMap =
        runHeadless({"--osm", MAP, "--fetch-tiles", "10-10", "--bbox", "0,0,1,1", "--tile-dir", dir.filePath("tiles")});
    EXPECT_EQ(tilesOutsideTheMap.exitCode, 1);
    EXPECT_TRUE(tilesOutsideTheMap.err.contains("holds no part of")) << tilesOutsideTheMap.err.toStdString();
    // A map with faults that can be dropped still runs.
    EXPECT_EQ(
        runHeadless({"--osm", hostile("two-ways-bad-ids.osm"), "--schedules", SCHEDULES, "--steps", "100"}).exitCode,
        0);
}

TEST(HeadlessProgram, ARunShortOfMemoryEndsWithoutHangingOrCrashing)
{
    // From about 60 MB of address space down, not even the preparation thread can be made; above
    // it, the map runs out of memory somewhere in reading or preparing. Either way the run ends.
    for (int megabytes = 50; megabytes <= 90; megabytes += 10) {
        QProcess process;
        process.start(QStringLiteral("/bin/sh"), {"-c", QStringLiteral("ulimit -v %1 && exec \"%2\" --steps 10")
                                                            .arg(megabytes * 1024)
                                                            .arg(QStringLiteral(KOLVEX_HEADLESS_PROGRAM))});
        const bool ended = process.waitForFinished(60000);
        if (!ended)
            process.kill();
        EXPECT_TRUE(ended) << megabytes << " MB";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << megabytes << " MB";
        // 127: the loader could not map the program's libraries, before any of its code ran.
        EXPECT_TRUE(process.exitCode() == 0 || process.exitCode() == 1 || process.exitCode() == 127)
            << megabytes << " MB: " << process.exitCode();
    }
}

TEST(HeadlessProgram, AFileThatIsNotAMapOrAMapWithoutRoadOrTrackIsNeverASuccessfulRun)
{
    const QByteArray nodes = "<node id=\"1\" lat=\"60.17\" lon=\"24.94\"/><node id=\"2\" lat=\"60.18\" lon=\"24.94\"/>";
    const QByteArray road = "<way id=\"7\"><nd ref=\"1\"/><nd ref=\"2\"/><tag k=\"highway\" v=\"primary\"/></way>";
    const struct
    {
        QByteArray map;
        int exitCode;
        const char *said;
    } cases[] = {
        {"<foo></foo>", 1, "is not an OSM map: its root element is <foo>"},
        {"<node id=\"1\" lat=\"60.17\" lon=\"24.94\"/>", 1, "is not an OSM map: its root element is <node>"},
        {"<osm>\n<data>" + nodes + road + "</data></osm>", 1, "Ignored <node> (line 2) inside <data>"},
        {"<osm>" + nodes + "<way id=\"7\"><nd ref=\"1\"/><nd ref=\"2\"/><tag k=\"building\" v=\"yes\"/></way></osm>", 1,
         "no road or tram track in"},
        {"<osm>" + nodes + road + "<relation id=\"5\"><member type=\"foo\" ref=\"7\"/></relation></osm>", 0,
         "Dropped member \"7\" (line 1): unknown type \"foo\" (relation \"5\")"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("map.osm");
    for (const auto &c : cases) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.map) == c.map.size());
        file.close();
        const HeadlessRun run = runHeadless({"--osm", path, "--schedules", SCHEDULES, "--steps", "10"});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.map.toStdString();
        EXPECT_TRUE(run.err.contains(c.said)) << run.err.toStdString();
        EXPECT_EQ(run.err.contains("kolvex-headless: map: no road or tram track in \"" + path + "\""), c.exitCode == 1);
    }
}

TEST(HeadlessProgram, BusesAndTramsOfTheBundledCityRunToTheTimetableAlikeOnAnyThreadCount)
{
    const QStringList common = {"--osm", MAP, "--schedules", SCHEDULES, "--start", "14:00:00", "--steps", "2400"};
    const HeadlessRun one = runHeadless(common + QStringList{"--threads", "1"});
    const HeadlessRun two = runHeadless(common + QStringList{"--threads", "2"});
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    EXPECT_EQ(one.figure("lines created"), 114) << one.out.toStdString();
    EXPECT_EQ(one.figure("stops with cells"), 36) << "tram platforms";
    EXPECT_GT(one.figure("trips started"), 20);
    EXPECT_GT(one.figure("trips finished"), 10);
    EXPECT_GT(one.figure("stop arrivals"), 50);
    // The summary from its state hash on does not depend on the machine.
    EXPECT_EQ(one.out.mid(one.out.indexOf("state hash")), two.out.mid(two.out.indexOf("state hash")));
}

TEST(HeadlessProgram, AHigherCarCapFillsTheBundledCityBeyondTheDefaultAlikeOnAnyThreadCount)
{
    const QStringList common = {"--osm",   MAP,    "--schedules", SCHEDULES, "--start",    "14:00:00",
                                "--steps", "2400", "--feed",      "4",       "--max-cars", "1000"};
    const HeadlessRun one = runHeadless(common + QStringList{"--threads", "1"});
    const HeadlessRun two = runHeadless(common + QStringList{"--threads", "2"});
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    EXPECT_GT(one.figure("cars"), 667) << one.out.toStdString();
    EXPECT_LE(one.figure("cars"), 1000);
    EXPECT_EQ(one.out.mid(one.out.indexOf("state hash")), two.out.mid(two.out.indexOf("state hash")));
}

TEST(HeadlessProgram, TheBundledTimetableIsTheOneDraftedFromTheBundledMap)
{
    QTemporaryDir dir;
    const QString drafted = dir.filePath(QStringLiteral("schedules.xml"));
    const HeadlessRun run = runHeadless({"--osm", MAP, "--schedules", SCHEDULES, "--draft-schedules", drafted});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile a(drafted), b(SCHEDULES);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_TRUE(a.readAll() == b.readAll()) << "redraft with the command in data/README.md";
}

TEST(HeadlessProgram, ABoxCutsTheBundledCityToWhatLiesWithinItAndABoxWithoutRoadsIsNoRun)
{
    QTemporaryDir dir;
    const QString network = dir.filePath(QStringLiteral("network.geojson"));
    const HeadlessRun run = runHeadless({"--osm", MAP, "--schedules", SCHEDULES, "--bbox",
                                         "24.940,60.168,24.948,60.175", "--export-network", network, "--steps", "400"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Cut to the box 24.94,60.168,24.948,60.175: ")) << run.out.toStdString();
    EXPECT_GT(run.figure("lines created"), 0);
    // The ways' centre lines lie within the box, the cut ones ending on its edge.
    QFile file(network);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    int points = 0, outside = 0, onEdge = 0;
    for (const QJsonValue feature : QJsonDocument::fromJson(file.readAll()).object().value("features").toArray()) {
        if (feature.toObject().value("properties").toObject().value("kind") != "centre_line")
            continue;
        for (const QJsonValue point : feature.toObject().value("geometry").toObject().value("coordinates").toArray()) {
            const double lon = point.toArray()[0].toDouble(), lat = point.toArray()[1].toDouble();
            ++points;
            outside += lon < 24.94 || lon > 24.948 || lat < 60.168 || lat > 60.175;
            onEdge += lon == 24.94 || lon == 24.948 || lat == 60.168 || lat == 60.175;
        }
    }
    EXPECT_GT(points, 100);
    EXPECT_EQ(outside, 0);
    EXPECT_GT(onEdge, 10);

    const HeadlessRun empty =
        runHeadless({"--osm", MAP, "--schedules", SCHEDULES, "--bbox", "10,10,10.1,10.1", "--steps", "10"});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_TRUE(empty.err.contains("no road or tram track in \"" + MAP + "\" within the box 10,10,10.1,10.1"))
        << empty.err.toStdString();
}
