#ifndef KOLVEX_OSM_BOUNDINGBOX_H
#define KOLVEX_OSM_BOUNDINGBOX_H

#include "geo/geodesy.h"

#include <QString>

/// A rectangle of longitude and latitude in degrees, edges included: the part of a map a run keeps.
struct BoundingBox
{
    double minLon = 0.0;
    double minLat = 0.0;
    double maxLon = 0.0;
    double maxLat = 0.0;

    bool contains(const Location &location) const
    {
        return location.lon >= minLon && location.lon <= maxLon && location.lat >= minLat && location.lat <= maxLat;
    }

    /// Reads "MINLON,MINLAT,MAXLON,MAXLAT" (blanks around the numbers allowed); false with `error`
    /// set when it is not four numbers, a minimum is not below its maximum, or a value lies beyond
    /// ±180° of longitude or ±90° of latitude.
    static bool parse(const QString &text, BoundingBox &box, QString &error);
    /// The form parse reads, with every digit that counts.
    QString toText() const;
};

#endif
