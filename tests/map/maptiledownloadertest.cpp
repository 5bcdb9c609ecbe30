#include "tests/loopbacktileserver.h"

#include "map/maptiledownloader.h"
#include "tests/stderrcapture.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>

#include <algorithm>

#include <gtest/gtest.h>

#include <memory>

namespace {

/// A downloader on a temporary tile directory whose three hosts are the loopback server.
struct Rig
{
    LoopbackTileServer http;
    QTemporaryDir dir;
    TileServer server;
    std::unique_ptr<MapTileDownloader> downloader;
    QObject receiver;
    std::vector<TileKey> delivered;

    Rig()
    {
        qRegisterMetaType<std::vector<QPoint>>("std::vector<QPoint>");
        qRegisterMetaType<QNetworkReply *>();
        server.host = "tiles.test";
        server.timeoutMs = 300;
        server.retryDelayMs = 0;
        downloader = std::make_unique<MapTileDownloader>(server, TileStore(dir.path()), QString());
        QObject::connect(downloader.get(), &MapTileDownloader::tileDownloaded, &receiver,
                         [this](QPoint p, int zoom, QImage image) {
                             EXPECT_FALSE(image.isNull());
                             delivered.push_back(TileKey{p.x(), p.y(), zoom});
                         });
    }
    void request(const std::vector<QPoint> &tiles, int zoom)
    {
        QMetaObject::invokeMethod(downloader.get(), "tilesRequired", Qt::QueuedConnection,
                                  Q_ARG(std::vector<QPoint>, tiles), Q_ARG(int, zoom));
    }
    void confirm(const QPoint &tile, int zoom)
    {
        QMetaObject::invokeMethod(downloader.get(), "tileConfirmed", Qt::QueuedConnection, Q_ARG(QPoint, tile),
                                  Q_ARG(int, zoom));
    }
    int deliveries(const TileKey &key) const { return int(std::count(delivered.begin(), delivered.end(), key)); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
};

} // namespace

TEST(MapTileDownloader, KeepsOneDownloadPerHostAndServesTheQueueAsRepliesComeIn)
{
    Rig rig;
    int seen = 0;
    rig.http.setHandler([&seen](const LoopbackTileServer::Request &) {
        LoopbackTileServer::Answer answer;
        answer.hold = seen++ < 3;
        return answer;
    });
    rig.request({{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}, 3);
    ASSERT_TRUE(waitUntil([&] { return rig.http.requests().size() == 3; }));
    settle(200);
    ASSERT_EQ(rig.http.requests().size(), 3u);
    QStringList hosts;
    for (const auto &r : rig.http.requests()) {
        hosts << r.host;
        EXPECT_EQ(r.userAgent, "Kolvex");
    }
    hosts.sort();
    EXPECT_EQ(hosts, (QStringList{"a.tiles.test", "b.tiles.test", "c.tiles.test"}));
    EXPECT_EQ(rig.http.requests()[0].path, "/3/0/0.png");

    rig.http.releaseHeld();
    ASSERT_TRUE(waitUntil([&] { return rig.delivered.size() == 6; }));
    EXPECT_EQ(rig.http.requests().size(), 6u);
    EXPECT_EQ(rig.files(), (QStringList{"3-0-0.png", "3-0-1.png", "3-1-0.png", "3-1-1.png", "3-2-0.png", "3-2-1.png"}));
}

TEST(MapTileDownloader, ServesTilesOnDiskWithoutRequestsAndOnlyOnceUntilConfirmed)
{
    Rig rig;
    ASSERT_TRUE(TileStore(rig.dir.path()).write(TileKey{1, 0, 1}, tinyPng()));
    rig.request({{1, 0}}, 1);
    ASSERT_TRUE(waitUntil([&] { return rig.delivered.size() == 1; }));
    rig.request({{1, 0}}, 1);
    settle(100);
    EXPECT_EQ(rig.deliveries(TileKey{1, 0, 1}), 1);
    rig.confirm({1, 0}, 1);
    rig.request({{1, 0}}, 1);
    ASSERT_TRUE(waitUntil([&] { return rig.delivered.size() == 2; }));
    EXPECT_TRUE(rig.http.requests().empty());
}

TEST(MapTileDownloader, SurvivesHostileRepliesFreesTheHostAndWritesNoBadFile)
{
    const QByteArray pngStart("\x89PNG\r\n\x1a\n", 8);
    const struct
    {
        const char *name;
        LoopbackTileServer::Answer answer;
    } cases[] = {
        {"not found", {404, tinyPng(), {}, false}},
        {"server error", {500, tinyPng(), {}, false}},
        {"text body", {200, "<html>no tile here</html>", {}, false}},
        {"huge body", {200, pngStart + QByteArray(3 * 1024 * 1024, 'x'), {}, false}},
        {"broken image", {200, pngStart + QByteArray(100, 'x'), {}, false}},
        {"silent server", {200, {}, {}, true}},
    };
    StderrCapture capture;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        bool hostile = true;
        rig.http.setHandler(
            [&](const LoopbackTileServer::Request &) { return hostile ? c.answer : LoopbackTileServer::Answer(); });
        rig.request({{1, 1}}, 3);
        ASSERT_TRUE(waitUntil([&] { return !rig.http.requests().empty(); }));
        settle(rig.server.timeoutMs + 200);
        hostile = false;
        // The host that failed is free again: the next tile goes to "a" once more.
        rig.request({{2, 2}}, 3);
        ASSERT_TRUE(waitUntil([&] { return rig.deliveries(TileKey{2, 2, 3}) == 1; }));
        EXPECT_EQ(rig.http.requests().back().host, "a.tiles.test");
        EXPECT_EQ(rig.deliveries(TileKey{1, 1, 3}), 0);
        EXPECT_EQ(rig.files(), QStringList{"3-2-2.png"});
        // A failed tile is asked for again later.
        rig.request({{1, 1}}, 3);
        ASSERT_TRUE(waitUntil([&] { return rig.deliveries(TileKey{1, 1, 3}) == 1; }));
    }
    int logged = 0;
    for (const std::string &line : capture.lines())
        logged += line.find("MapTileDownloader: tiles unavailable") != std::string::npos;
    EXPECT_EQ(logged, int(std::size(cases))); // once per downloader
}

TEST(MapTileDownloader, FollowsRedirectsAndIgnoresRepliesForTilesNobodyAskedFor)
{
    Rig rig;
    rig.http.setHandler([](const LoopbackTileServer::Request &r) {
        LoopbackTileServer::Answer answer;
        if (!r.path.startsWith("/moved")) {
            answer.status = 301;
            answer.body.clear();
            answer.extraHeaders = "Location: http://tiles.test/moved" + r.path.toLatin1() + "\r\n";
        }
        return answer;
    });
    rig.request({{1, 1}}, 2);
    ASSERT_TRUE(waitUntil([&] { return rig.delivered.size() == 1; }));
    EXPECT_EQ(rig.http.requests().back().path, "/moved/2/1/1.png");
    rig.request({{2, 1}}, 2);
    ASSERT_TRUE(waitUntil([&] { return rig.delivered.size() == 2; }));
    // The redirected download freed prefix "a", so the next tile is asked of it again.
    const auto requests = rig.http.requests();
    const auto second = std::find_if(requests.begin(), requests.end(),
                                     [](const LoopbackTileServer::Request &r) { return r.path == "/2/2/1.png"; });
    ASSERT_NE(second, requests.end());
    EXPECT_EQ(second->host, "a.tiles.test");

    QNetworkAccessManager manager;
    QNetworkReply *stray = manager.get(rig.server.request("b", TileKey{3, 3, 2}));
    ASSERT_TRUE(waitUntil([&] { return stray->isFinished(); }));
    QMetaObject::invokeMethod(rig.downloader.get(), "handleNetworkData", Qt::BlockingQueuedConnection,
                              Q_ARG(QNetworkReply *, stray));
    settle(100);
    EXPECT_EQ(rig.delivered.size(), 2u);
    EXPECT_EQ(rig.files(), (QStringList{"2-1-1.png", "2-2-1.png"}));
}
