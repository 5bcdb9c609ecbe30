#include "markupbounddevice.h"

#include <algorithm>
#include <cstring>

MarkupBoundDevice::MarkupBoundDevice(QIODevice *source, int64_t maxMarkupBytes, int64_t maxDocumentBytes)
    : source(source), cap(maxMarkupBytes), documentCap(maxDocumentBytes)
{
    QIODevice::open(QIODevice::ReadOnly);
}

qint64 MarkupBoundDevice::readData(char *data, qint64 maxSize)
{
    if (over || overDocument)
        return -1;
    if (passed == documentCap) {
        // Only a document that goes on past the cap is refused, not one that ends exactly at it.
        char probe;
        if (source->read(&probe, 1) <= 0)
            return -1;
        overDocument = true;
        return -1;
    }
    const qint64 count = source->read(data, std::min<int64_t>(maxSize, documentCap - passed));
    if (count <= 0)
        return count;
    passed += count;
    const char *run = data;
    const char *const end = data + count;
    if (sinceMarkup + count <= cap) {
        // No piece can run past the cap within these bytes: only where the last one starts matters.
        const void *last = memrchr(data, '<', size_t(count));
        sinceMarkup = last ? end - static_cast<const char *>(last) : sinceMarkup + count;
        return count;
    }
    while (run != end) {
        // The bytes up to the next '<' (or the end of what was read) continue the current piece.
        const char *next = static_cast<const char *>(std::memchr(run, '<', size_t(end - run)));
        const char *const runEnd = next ? next : end;
        if (runEnd - run > cap - sinceMarkup) {
            over = true;
            const qint64 kept = (run - data) + (cap - sinceMarkup);
            return kept > 0 ? kept : -1;
        }
        if (!next) {
            sinceMarkup += end - run;
            break;
        }
        sinceMarkup = 1;
        run = next + 1;
    }
    return count;
}

qint64 MarkupBoundDevice::writeData(const char *, qint64)
{
    return -1;
}
