#ifndef KOLVEX_APP_LAYERBOXES_H
#define KOLVEX_APP_LAYERBOXES_H

#include "map/visualization.h"

#include <array>

class QBoxLayout;

/// The group of check boxes a layer's box sits in: the first two are the layer panel's, the
/// others the render options dialog's.
enum class LayerGroup { Vehicles, Area, Stops, Cells, Entities };

/// The check box of one map layer.
struct LayerBox
{
    Visualization::Layer layer;
    LayerGroup group;
    const char *objectName;
    const char *label;
};

/// Every layer's box, in the order each group shows them. Both panels build their boxes from it.
extern const std::array<LayerBox, Visualization::LayerCount> LAYER_BOXES;

/// Adds the boxes of `group` to `layout` (before a trailing spacer, if any), ticked as `map` shows
/// the layers; ticking a box switches its layer of `map` (which must outlive the boxes).
void addLayerBoxes(QBoxLayout *layout, LayerGroup group, Visualization *map);

#endif
