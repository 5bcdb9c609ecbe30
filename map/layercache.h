#ifndef KOLVEX_MAP_LAYERCACHE_H
#define KOLVEX_MAP_LAYERCACHE_H

#include <QImage>
#include <QPainter>

#include <functional>

/// An image of layers that change only with the view, redrawn when its key changes.
class LayerCache
{
public:
    /// Draws the cached image into `target`, first redrawing it through `paint` when `key` or the
    /// size differs from the last time. A transparent cache starts clear, an opaque one unfilled.
    void draw(QPainter &target, const QRect &exposed, const QSize &size, qreal devicePixelRatio, quint64 key,
              bool transparent, const std::function<void(QPainter &)> &paint);
    /// Forgets the image (next draw repaints it).
    void invalidate() { valid = false; }
    /// How many times the image was redrawn.
    int redraws() const { return redrawCount; }

private:
    QImage image;
    quint64 lastKey = 0;
    bool valid = false;
    int redrawCount = 0;
};

#endif
