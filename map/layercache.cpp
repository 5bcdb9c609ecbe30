#include "layercache.h"

void LayerCache::draw(QPainter &target, const QRect &exposed, const QSize &size, qreal devicePixelRatio, quint64 key,
                      bool transparent, const std::function<void(QPainter &)> &paint)
{
    const QSize pixels = size * devicePixelRatio;
    if (!valid || key != lastKey || image.size() != pixels) {
        if (image.size() != pixels)
            image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(devicePixelRatio);
        if (transparent)
            image.fill(Qt::transparent);
        QPainter painter(&image);
        paint(painter);
        lastKey = key;
        valid = true;
        ++redrawCount;
    }
    const QRectF source(QPointF(exposed.topLeft()) * devicePixelRatio, QSizeF(exposed.size()) * devicePixelRatio);
    target.drawImage(QRectF(exposed), image, source);
}
