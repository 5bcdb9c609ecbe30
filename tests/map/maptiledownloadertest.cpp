#include "tests/loopbacktileserver.h"

#include "map/maptiledownloader.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
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
    QStringList hosts;
    for (const auto &r : rig.http.requests())
        hosts << r.host;
    hosts.sort();
    EXPECT_EQ(hosts, (QStringList{"a.tiles.test", "b.tiles.test", "c.tiles.test"}));
    EXPECT_EQ(rig.http.requests()[0].path, "/3/0/0.png");
    rig.http.releaseHeld();
    ASSERT_TRUE(waitUntil([&] { return rig.delivered.size() == 6; }));
    EXPECT_EQ(rig.http.requests().size(), 6u);
    EXPECT_EQ(rig.files(), (QStringList{"3-0-0.png", "3-0-1.png", "3-1-0.png", "3-1-1.png", "3-2-0.png", "3-2-1.png"}));
}

TEST(MapTileDownloader, SurvivesHostileRepliesFreesTheHostAndWritesNoBadFile)
{
    const QByteArray pngStart("\x89PNG\r\n\x1a\n", 8);
    const LoopbackTileServer::Answer answers[] = {{404, tinyPng(), false},
                                                  {200, "<html>no tile here</html>", false},
                                                  {200, pngStart + QByteArray(3 * 1024 * 1024, 'x'), false},
                                                  {200, pngStart + QByteArray(100, 'x'), false},
                                                  {200, {}, true}};
    for (const auto &hostileAnswer : answers) {
        SCOPED_TRACE(hostileAnswer.status);
        Rig rig;
        bool hostile = true;
        rig.http.setHandler([&](const LoopbackTileServer::Request &) {
            return hostile ? hostileAnswer : LoopbackTileServer::Answer();
        });
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
}
