#ifndef KOLVEX_TESTS_OSM_OSMTESTSUPPORT_H
#define KOLVEX_TESTS_OSM_OSMTESTSUPPORT_H

#include "osm/osmdata.h"
#include "osm/osmparser.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace osmtest {

/// Collects what is written to std::cerr while it lives.
class StderrCapture
{
public:
    StderrCapture() : old(std::cerr.rdbuf(buffer.rdbuf())) {}
    ~StderrCapture() { std::cerr.rdbuf(old); }
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;
    std::string text() const { return buffer.str(); }
    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        std::istringstream in(buffer.str());
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

private:
    std::ostringstream buffer;
    std::streambuf *old;
};

inline QString fixture(const char *name)
{
    return QStringLiteral(KOLVEX_TEST_DATA_DIR "/osm/") + QLatin1String(name);
}

inline QString bundled(const char *name)
{
    return QStringLiteral(KOLVEX_SOURCE_DIR "/data/") + QLatin1String(name);
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

/// Reads `path` into `data` and returns the reader's standard error lines.
inline std::vector<std::string> parseCapturing(const QString &path, OSMData *data)
{
    StderrCapture capture;
    OSMParser::parseFile(path, data);
    return capture.lines();
}

/// The numbers of the reader's closing count lines ("OSMParser:     Way count: 3" gives "Way" -> 3).
inline std::map<std::string, long long> countLines(const std::vector<std::string> &lines)
{
    std::map<std::string, long long> counts;
    const std::string prefix = "OSMParser:     ";
    const std::string suffix = " count: ";
    for (const std::string &line : lines) {
        const size_t at = line.find(suffix);
        if (line.compare(0, prefix.size(), prefix) != 0 || at == std::string::npos)
            continue;
        counts[line.substr(prefix.size(), at - prefix.size())] = std::stoll(line.substr(at + suffix.size()));
    }
    return counts;
}

inline std::vector<int64_t> nodeIds(const Way *way)
{
    std::vector<int64_t> ids;
    for (const Node *node : way->nodes())
        ids.push_back(node->getId());
    return ids;
}

} // namespace osmtest

#endif
