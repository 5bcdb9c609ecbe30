#ifndef KOLVEX_OSM_MARKUPBOUNDDEVICE_H
#define KOLVEX_OSM_MARKUPBOUNDDEVICE_H

#include <QIODevice>

#include <cstdint>

/// A read-only sequential device passing on the bytes of an XML document from another device, which ends
/// them early where one piece of markup (from one '<' to the next) runs past a cap. The XML reader holds
/// such a piece whole, and XML allows no '<' inside an attribute value, so the cap bounds the memory one
/// tag value can take: a value of gigabytes compressed into a few megabytes is refused early. The whole
/// document is capped too, which bounds the time a file compressed a thousandfold can take.
class MarkupBoundDevice : public QIODevice
{
public:
    /// Reads from `source`, which must be open and outlive this device; both caps are at least 1.
    MarkupBoundDevice(QIODevice *source, int64_t maxMarkupBytes, int64_t maxDocumentBytes);

    bool isSequential() const override { return true; }
    /// Whether the data ended early because a piece of markup ran past its cap.
    bool overCap() const { return over; }
    /// Whether the data ended early because the document ran past its cap.
    bool overDocumentCap() const { return overDocument; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    QIODevice *source;
    int64_t cap;
    int64_t documentCap;
    int64_t sinceMarkup = 0; ///< bytes of the current piece, its '<' included
    int64_t passed = 0;      ///< bytes passed on so far
    bool over = false;
    bool overDocument = false;
};

#endif
