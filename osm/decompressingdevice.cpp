#include "decompressingdevice.h"

#include "readerrules.h"

#include <osmium/io/bzip2_compression.hpp>

#include <QFile>

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

namespace {

/// The library gives bzip2's error numbers only.
QString bzip2Failure(const osmium::bzip2_error &error)
{
    switch (error.bzip2_error_code) {
    case BZ_UNEXPECTED_EOF:
        return QStringLiteral("bzip2 error: unexpected end of file");
    case BZ_DATA_ERROR:
    case BZ_DATA_ERROR_MAGIC:
        return QStringLiteral("bzip2 error: damaged data");
    default:
        return QString::fromUtf8(error.what());
    }
}

} // namespace

/// gzip goes straight to zlib: only zlib itself tells a stream cut short from a finished one. The data is
/// decompressed on a thread of its own, a few pieces ahead of the reader, so that unpacking and reading the
/// XML take turns on two cores instead of one; what the decompressor throws reaches the reader in its place.
struct DecompressingDevice::Stream
{
    gzFile gzip = nullptr;
    std::unique_ptr<osmium::io::Decompressor> bzip2; // owns its file descriptor
    std::string pending;
    size_t consumed = 0;
    bool finished = false;

    /// A piece of decompressed data, or what stopped the decompression.
    struct Piece
    {
        std::string data;
        std::exception_ptr failure;
    };
    /// Pieces decompressed ahead of the reader, at most this many (of up to 1 MB each).
    static constexpr size_t AHEAD = 4;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Piece> ready;
    bool stopping = false;
    bool started = false;

    ~Stream()
    {
        if (worker.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                stopping = true;
            }
            changed.notify_all();
            worker.join();
        }
        if (gzip)
            gzclose_r(gzip);
    }

    /// Runs on the worker thread: decompresses until the end, a failure, or the stream is closed.
    void decompressAhead()
    {
        for (;;) {
            Piece piece;
            try {
                piece.data = next();
            } catch (...) {
                piece.failure = std::current_exception();
            }
            const bool last = piece.failure || piece.data.empty();
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return stopping || ready.size() < AHEAD; });
            if (stopping)
                return;
            ready.push_back(std::move(piece));
            changed.notify_all();
            if (last)
                return;
        }
    }

    /// The next piece in order, as next() would give it (or throw); starts the worker on the first call.
    std::string take()
    {
        if (!started) {
            started = true;
            try {
                worker = std::thread([this] { decompressAhead(); });
            } catch (const std::system_error &) {
                // No thread to be had: decompressed on the reader's own, only slower.
            }
        }
        if (!worker.joinable())
            return next();
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return !ready.empty(); });
        Piece piece = std::move(ready.front());
        ready.pop_front();
        changed.notify_all();
        lock.unlock();
        if (piece.failure)
            std::rethrow_exception(piece.failure);
        return std::move(piece.data);
    }

    /// The next piece of decompressed data; empty at the end. Throws on damaged data.
    std::string next()
    {
        if (bzip2)
            return bzip2->read();
        std::string chunk(1 << 20, '\0');
        const int count = gzread(gzip, &chunk[0], static_cast<unsigned>(chunk.size()));
        int error = Z_OK;
        const char *message = gzerror(gzip, &error);
        if (count < 0 || (count == 0 && error != Z_OK)) {
            // zlib names the descriptor ("<fd:4>: "), which says nothing to a user.
            const char *reason = std::strstr(message, ">: ");
            throw std::runtime_error(std::string("gzip error: ") + (reason ? reason + 3 : message));
        }
        chunk.resize(static_cast<size_t>(count));
        return chunk;
    }
};

DecompressingDevice::DecompressingDevice(const QString &path, OSMFileFormat compression) : stream(new Stream)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = QStringLiteral("cannot open the file");
        return;
    }
    if (compression == OSMFileFormat::Gzip) {
        stream->gzip = gzdopen(fd, "rb");
        if (!stream->gzip) {
            ::close(fd);
            why = QStringLiteral("gzip error: cannot start reading");
            return;
        }
    } else {
        // The library reports failures by exceptions; none leaves this class.
        try {
            stream->bzip2 = std::make_unique<osmium::io::Bzip2Decompressor>(fd);
        } catch (const std::exception &error) {
            why = QString::fromUtf8(error.what());
            return;
        }
    }
    QIODevice::open(QIODevice::ReadOnly);
}

DecompressingDevice::~DecompressingDevice() = default;

qint64 DecompressingDevice::readData(char *data, qint64 maxSize)
{
    Stream &s = *stream;
    if (s.consumed == s.pending.size() && !s.finished) {
        try {
            s.pending = s.take();
        } catch (const osmium::bzip2_error &error) {
            s.pending.clear();
            why = bzip2Failure(error);
        } catch (const std::bad_alloc &) {
            s.pending.clear();
            why = QLatin1String(readerrules::OUT_OF_MEMORY);
        } catch (const std::exception &error) {
            s.pending.clear();
            why = QString::fromUtf8(error.what());
        }
        s.consumed = 0;
        s.finished = s.pending.empty();
    }
    if (s.finished)
        return -1;
    const size_t count = std::min(static_cast<size_t>(maxSize), s.pending.size() - s.consumed);
    std::memcpy(data, s.pending.data() + s.consumed, count);
    s.consumed += count;
    return static_cast<qint64>(count);
}

qint64 DecompressingDevice::writeData(const char *, qint64)
{
    return -1;
}
