#include "boundingbox.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

bool BoundingBox::parse(const QString &text, BoundingBox &box, QString &error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    double values[4] = {};
    bool numbers = parts.size() == 4;
    for (int i = 0; numbers && i < 4; ++i) {
        values[i] = parts[i].trimmed().toDouble(&numbers);
        numbers = numbers && std::isfinite(values[i]);
    }
    if (!numbers) {
        error = QStringLiteral("malformed box \"%1\" (expected four numbers MINLON,MINLAT,MAXLON,MAXLAT)").arg(text);
        return false;
    }
    const BoundingBox read{values[0], values[1], values[2], values[3]};
    if (read.minLon < -180.0 || read.maxLon > 180.0 || read.minLat < -90.0 || read.maxLat > 90.0) {
        error = QStringLiteral("box \"%1\" reaches beyond the earth (longitudes within -180 to 180, latitudes "
                               "within -90 to 90)")
                    .arg(text);
        return false;
    }
    if (read.minLon >= read.maxLon || read.minLat >= read.maxLat) {
        error = QStringLiteral("empty box \"%1\" (each minimum must be below its maximum: MINLON,MINLAT,MAXLON,"
                               "MAXLAT)")
                    .arg(text);
        return false;
    }
    box = read;
    return true;
}

QString BoundingBox::toText() const
{
    // The shortest text that reads back as the same double.
    const auto number = [](double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); };
    return QStringLiteral("%1,%2,%3,%4").arg(number(minLon), number(minLat), number(maxLon), number(maxLat));
}
