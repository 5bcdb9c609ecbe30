#include "osmbusstopconvertor.h"

#include "osm/osmdata.h"

#include <iostream>

void OSMBusStopConvertor::convert(OSMData *data)
{
    std::cerr << "OSMBusStopConvertor: "
              << "Convertion started..." << std::endl;
    std::cerr << "OSMBusStopConvertor: "
              << "Stops already on way..." << std::endl;
    std::cerr << "OSMBusStopConvertor: "
              << "Stops outside way..." << std::endl;
    (void)data;
    std::cerr << "OSMBusStopConvertor: "
              << "Convertion finished..." << std::endl;
}
