#include "tileserver.h"

#include <QNetworkReply>
#include <QTimer>

namespace {

// Request attributes: the tile tag and the host prefix travel with each request.
constexpr QNetworkRequest::Attribute TAG_ATTRIBUTE = QNetworkRequest::User;
constexpr QNetworkRequest::Attribute PREFIX_ATTRIBUTE = QNetworkRequest::Attribute(QNetworkRequest::User + 1);
constexpr int MAX_REDIRECTS = 3;

} // namespace

TileServer TileServer::fromEnvironment()
{
    TileServer server;
    const QString host = qEnvironmentVariable(HOST_VARIABLE).trimmed();
    if (!host.isEmpty())
        server.host = host;
    return server;
}

QString TileServer::tileUrl(const QString &prefix, const TileKey &key) const
{
    return QStringLiteral("http://%1.%2/%3/%4/%5.png").arg(prefix, host).arg(key.zoom).arg(key.x).arg(key.y);
}

QNetworkRequest TileServer::request(const QString &prefix, const TileKey &key) const
{
    QNetworkRequest request{QUrl(tileUrl(prefix, key))};
    request.setRawHeader("User-Agent", USER_AGENT);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MAX_REDIRECTS);
    request.setAttribute(TAG_ATTRIBUTE, tileKeyString(key));
    request.setAttribute(PREFIX_ATTRIBUTE, prefix);
    return request;
}

void TileServer::guard(QNetworkReply *reply) const
{
    // The timer belongs to the reply, so it dies with it and fires in the reply's thread.
    QTimer::singleShot(timeoutMs, reply, [reply] {
        if (reply->isRunning())
            reply->abort();
    });
    const qint64 limit = maxBytes;
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, limit](qint64 received, qint64 total) {
        if (received > limit || total > limit)
            reply->abort();
    });
}

bool TileServer::keyOfReply(const QNetworkReply *reply, TileKey &key)
{
    return tileKeyFromString(reply->request().attribute(TAG_ATTRIBUTE).toString(), key);
}

QString TileServer::prefixOfReply(const QNetworkReply *reply)
{
    const QVariant prefix = reply->request().attribute(PREFIX_ATTRIBUTE);
    if (prefix.isValid())
        return prefix.toString();
    return reply->request().url().host().section(QLatin1Char('.'), 0, 0);
}

bool TileServer::looksLikeImage(const QByteArray &body)
{
    static const QByteArray png("\x89PNG\r\n\x1a\n", 8);
    static const QByteArray jpeg("\xff\xd8\xff", 3);
    return body.startsWith(png) || body.startsWith(jpeg);
}

QString TileServer::readTile(QNetworkReply *reply, QByteArray &body) const
{
    body.clear();
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200)
        return QStringLiteral("HTTP status %1").arg(status);
    // Read no more than the limit even if the size check has not fired yet.
    body = reply->read(maxBytes + 1);
    if (body.size() > maxBytes) {
        body.clear();
        return QStringLiteral("body larger than %1 bytes").arg(maxBytes);
    }
    if (!looksLikeImage(body)) {
        body.clear();
        return QStringLiteral("body is not an image");
    }
    return QString();
}
