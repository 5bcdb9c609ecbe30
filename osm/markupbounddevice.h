#ifndef KOLVEX_OSM_MARKUPBOUNDDEVICE_H
#define KOLVEX_OSM_MARKUPBOUNDDEVICE_H

#include <QIODevice>

#include <cstdint>

/// A read-only sequential device passing on the bytes of an XML document from another device, which ends
/// them early where one piece of markup (from one '<' to the next) runs past a cap. The XML reader holds
/// such a piece whole, and XML allows no '<' inside an attribute value, so the cap bounds the memory one
/// tag value can take: a value of gigabytes compressed into a few megabytes is refused early.
class MarkupBoundDevice : public QIODevice
{
public:
    /// Reads from `source`, which must be open and outlive this device; `maxMarkupBytes` is at least 1.
    MarkupBoundDevice(QIODevice *source, int64_t maxMarkupBytes);

    bool isSequential() const override { return true; }
    /// Whether the data ended early because a piece of markup ran past the cap.
    bool overCap() const { return over; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    QIODevice *source;
    int64_t cap;
    int64_t sinceMarkup = 0; ///< bytes of the current piece, its '<' included
    bool over = false;
};

#endif
