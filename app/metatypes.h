#ifndef KOLVEX_APP_METATYPES_H
#define KOLVEX_APP_METATYPES_H

#include <QMetaType>
#include <QPoint>

#include <vector>

Q_DECLARE_METATYPE(std::vector<QPoint>)

/// Registers the types that travel through queued connections between the window's threads (the
/// tile lists of the map display); once per process, before the window is built.
void registerMetaTypes();

#endif
