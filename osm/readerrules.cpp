#include "readerrules.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <unordered_set>

namespace readerrules {

const char *const COMPONENT = "OSMParser";

const char *const OUT_OF_MEMORY = "out of memory: the map needs more than this machine has";

namespace {

void writeElement(Diagnostics &log, const char *verb, const ElementOrigin &origin, const std::string &text)
{
    Diagnostic diagnostic;
    diagnostic.component = COMPONENT;
    diagnostic.line = origin.line;
    int64_t id = 0;
    const char *const idEnd = origin.idText.data() + origin.idText.size();
    const std::from_chars_result parsed = std::from_chars(origin.idText.data(), idEnd, id);
    if (parsed.ec == std::errc() && parsed.ptr == idEnd)
        diagnostic.elementId = id;
    std::ostringstream line;
    line << "    " << verb << ' ' << origin.kind << " \"" << origin.idText << '"';
    if (origin.line > 0)
        line << " (line " << origin.line << ')';
    line << ": " << text;
    diagnostic.text = line.str();
    log.add(std::move(diagnostic));
}

/// A segment regardless of its direction.
struct SegmentKey
{
    int64_t low;
    int64_t high;
    bool operator==(const SegmentKey &o) const { return low == o.low && high == o.high; }
};

struct SegmentHash
{
    size_t operator()(const SegmentKey &s) const
    {
        return std::hash<int64_t>()(s.low) * 1000003u ^ std::hash<int64_t>()(s.high);
    }
};

} // namespace

std::string coordinateProblem(double lat, double lon)
{
    // The shortest text that reads back as the value, so that it matches what the file said.
    auto text = [](double value) {
        char buffer[32];
        const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return std::string(buffer, result.ptr);
    };
    if (!(lat >= -90.0 && lat <= 90.0))
        return "latitude " + text(lat) + " is outside -90..90";
    if (!(lon >= -180.0 && lon <= 180.0))
        return "longitude " + text(lon) + " is outside -180..180";
    return std::string();
}

std::string dropRepeats(std::vector<int64_t> &refs)
{
    size_t doubled = 0;
    size_t kept = 0;
    std::unordered_set<SegmentKey, SegmentHash> travelled;
    std::ostringstream dropped;
    for (size_t i = 0; i < refs.size(); ++i) {
        if (kept > 0 && refs[i] == refs[kept - 1]) {
            ++doubled;
            continue;
        }
        if (kept > 0) {
            const int64_t a = refs[kept - 1];
            const int64_t b = refs[i];
            if (!travelled.insert(SegmentKey{std::min(a, b), std::max(a, b)}).second) {
                dropped << (refs.size() - i) << " node references from position " << (i + 1)
                        << " on dropped: they travel the segment " << a << "-" << b << " again";
                break;
            }
        }
        refs[kept++] = refs[i];
    }
    refs.resize(kept);
    if (doubled == 0)
        return dropped.str();
    std::ostringstream all;
    all << doubled << " node references dropped that repeat the reference before them";
    if (!dropped.str().empty())
        all << "; " << dropped.str();
    return all.str();
}

void say(Diagnostics &log, Severity severity, std::string text, int64_t line, int64_t column)
{
    Diagnostic diagnostic;
    diagnostic.severity = severity;
    diagnostic.component = COMPONENT;
    diagnostic.line = line;
    diagnostic.column = column;
    diagnostic.text = std::move(text);
    log.add(std::move(diagnostic));
}

void reportDropped(Diagnostics &log, const ElementOrigin &origin, const std::string &reason)
{
    writeElement(log, "Dropped", origin, reason);
}

void reportTrimmed(Diagnostics &log, const ElementOrigin &origin, const std::string &what)
{
    writeElement(log, "Trimmed", origin, what);
}

} // namespace readerrules
