#include "osmnumbertext.h"

#include <QString>

#include <charconv>
#include <cmath>

namespace {

QString qtText(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

/// Coordinates written as plain decimals are converted with std::from_chars (correctly rounded, like Qt's
/// conversion); other texts go to Qt's conversion.
bool toDouble(std::string_view text, double &value)
{
    bool plain = !text.empty() && text.size() < 32;
    for (size_t i = 0; plain && i < text.size(); ++i) {
        const char c = text[i];
        plain = (c >= '0' && c <= '9') || c == '.' || (c == '-' && i == 0);
    }
    if (plain) {
        const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec == std::errc() && result.ptr == text.data() + text.size())
            return true;
    }
    bool ok = false;
    value = qtText(text).toDouble(&ok);
    return ok;
}

} // namespace

namespace osmnumbertext {

bool toInt64(std::string_view text, int64_t &value)
{
    // At most 18 digits cannot overflow.
    const char *digit = text.data();
    const char *const end = digit + text.size();
    const bool negative = digit != end && *digit == '-';
    if (negative)
        ++digit;
    if (digit != end && end - digit <= 18) {
        int64_t magnitude = 0;
        for (; digit != end; ++digit) {
            if (*digit < '0' || *digit > '9')
                break;
            magnitude = magnitude * 10 + (*digit - '0');
        }
        if (digit == end) {
            value = negative ? -magnitude : magnitude;
            return true;
        }
    }
    bool ok = false;
    const qlonglong parsed = qtText(text).toLongLong(&ok, 10);
    if (ok)
        value = parsed;
    return ok;
}

bool coordinate(std::string_view text, double &value)
{
    return toDouble(text, value) && std::isfinite(value);
}

bool wayId(std::string_view text, int64_t &value)
{
    if (toInt64(text, value))
        return true;
    double parsed = 0;
    if (!toDouble(text, parsed) || !std::isfinite(parsed) || parsed >= 9223372036854775808.0 ||
        parsed < -9223372036854775808.0)
        return false;
    value = static_cast<int64_t>(parsed);
    return true;
}

} // namespace osmnumbertext
