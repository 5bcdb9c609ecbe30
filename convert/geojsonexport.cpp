#include "geojsonexport.h"

bool exportNetworkGeoJson(const QString &, const OSMData *, const SimulationData *, const BindingData *)
{
    return true;
}
