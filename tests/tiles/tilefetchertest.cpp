#include "tests/loopbacktileserver.h"

#include "report/diagnostics.h"
#include "tiles/tilefetcher.h"

#include <QDir>
#include <QTemporaryDir>

#include <tuple>

#include <gtest/gtest.h>

namespace {

TileServer testServer()
{
    TileServer server;
    server.host = "tiles.test";
    server.timeoutMs = 500;
    return server;
}

} // namespace

TEST(TileFetcher, FetchesMissingTilesOneAtATimeAndSkipsThoseOnDisk)
{
    LoopbackTileServer http;
    QTemporaryDir dir;
    const TileStore store(dir.path());
    ASSERT_TRUE(store.write(TileKey{0, 0, 1}, tinyPng()));
    TileFetcher fetcher(testServer(), store);
    const std::vector<TileKey> keys = TileFetcher::tilesOfBox(85, -180, -85, 180, 0, 1);
    ASSERT_EQ(keys.size(), 5u);
    EXPECT_EQ(fetcher.missing(keys).size(), 4u);

    Diagnostics diagnostics;
    const TileFetcher::Result result = fetcher.fetch(keys, diagnostics);
    EXPECT_EQ(std::make_tuple(result.present, result.fetched, result.failed), std::make_tuple(1, 4, 0));
    EXPECT_TRUE(diagnostics.all().empty());
    ASSERT_EQ(http.requests().size(), 4u);
    EXPECT_EQ(http.requests()[0].host + http.requests()[0].path, "a.tiles.test/0/0/0.png");
    EXPECT_EQ(http.requests()[1].host, "b.tiles.test");
    EXPECT_EQ(http.requests()[0].userAgent, "Kolvex");
    EXPECT_TRUE(fetcher.missing(keys).empty());
}

TEST(TileFetcher, BadAnswersAreNotStoredAndRepeatedFailuresStopTheRun)
{
    LoopbackTileServer http;
    int served = 0;
    http.setHandler([&served](const LoopbackTileServer::Request &) {
        LoopbackTileServer::Answer answer;
        // A valid tile with status 404, a page, a body over the size limit, and no answer at all.
        const int kind = served++ % 4;
        const QByteArray bodies[] = {answer.body, "<html>not a tile</html>", QByteArray(2 * 1024 * 1024, '\x89'), ""};
        answer.status = kind == 0 ? 404 : 200;
        answer.body = bodies[kind];
        answer.hold = kind == 3;
        return answer;
    });
    QTemporaryDir dir;
    TileFetcher fetcher(testServer(), TileStore(dir.path()));
    Diagnostics diagnostics;
    const TileFetcher::Result result = fetcher.fetch(TileFetcher::tilesOfBox(85, -180, -85, 180, 0, 3), diagnostics);
    EXPECT_EQ(std::make_tuple(result.fetched, result.failed, result.gaveUp),
              std::make_tuple(0, TileFetcher::MAX_FAILURES_IN_A_ROW, true));
    EXPECT_EQ(diagnostics.count(Severity::Warning), size_t(TileFetcher::MAX_FAILURES_IN_A_ROW)) << "one per tile";
    EXPECT_EQ(diagnostics.count(Severity::Error), 1u) << "giving up";
    EXPECT_NE(diagnostics.all().front().text.find("a.tiles.test/0/0/0.png: "), std::string::npos)
        << diagnostics.all().front().text;
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}
