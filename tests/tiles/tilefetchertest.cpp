#include "tests/loopbacktileserver.h"

#include "tests/stderrcapture.h"
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

    const TileFetcher::Result result = fetcher.fetch(keys);
    EXPECT_EQ(std::make_tuple(result.present, result.fetched, result.failed), std::make_tuple(1, 4, 0));
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
    StderrCapture quiet;
    const TileFetcher::Result result = fetcher.fetch(TileFetcher::tilesOfBox(85, -180, -85, 180, 0, 3));
    EXPECT_EQ(std::make_tuple(result.fetched, result.failed, result.gaveUp),
              std::make_tuple(0, TileFetcher::MAX_FAILURES_IN_A_ROW, true));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}
