#ifndef KOLVEX_CONVERT_GEOJSONEXPORT_H
#define KOLVEX_CONVERT_GEOJSONEXPORT_H

#include <QString>

class BindingData;
class Diagnostics;
class OSMData;
struct SimulationData;

/// Writes the converted network as one GeoJSON FeatureCollection (longitude, latitude order) for
/// inspection in a GIS tool: per way piece its centre line, edges, lanes and their cells; then the
/// crossroad paths and signals, the stop platforms and bus bays, and the generators (property
/// "kind" tells them apart). Returns false, with an error in `diagnostics`, if the file cannot be
/// written.
bool exportNetworkGeoJson(const QString &path, const OSMData *osmData, const SimulationData *simulationData,
                          const BindingData *bindingData, Diagnostics &diagnostics);

#endif
