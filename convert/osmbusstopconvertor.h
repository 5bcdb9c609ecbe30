#ifndef KOLVEX_CONVERT_OSMBUSSTOPCONVERTOR_H
#define KOLVEX_CONVERT_OSMBUSSTOPCONVERTOR_H

class OSMData;

/// Decides which side of its way each bus stop serves and moves stops that lie beside the road
/// onto the nearest way segment.
class OSMBusStopConvertor
{
public:
    static void convert(OSMData *data);
};

#endif
