#ifndef KOLVEX_CONVERT_ROUTECONVERTOR_H
#define KOLVEX_CONVERT_ROUTECONVERTOR_H

class OSMData;

/// Orders the ways of every route relation into drivable routes with their stops.
class RouteConvertor
{
public:
    static void convert(OSMData *data);
};

#endif
