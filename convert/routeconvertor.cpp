#include "routeconvertor.h"

#include "osm/osmdata.h"

#include <iostream>

void RouteConvertor::convert(OSMData *data)
{
    std::cerr << "RouteConvertor: "
              << "Ordering routes (route count = " << (data ? data->routeRelations()->size() : 0) << ") ... ";
    std::cerr << "Done!" << std::endl;
}
