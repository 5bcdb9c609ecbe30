#include "frameexchange.h"

#include <vector>

namespace {

/// Frames kept for reuse: the one being filled, the latest, and one or two a reader still holds.
constexpr size_t MAX_SPARES = 4;

} // namespace

struct FrameExchange::Spares
{
    std::mutex mutex;
    std::vector<std::unique_ptr<StepFrame>> frames;

    /// Takes back a frame whose last holder let go of it (in that holder's thread).
    void giveBack(StepFrame *frame)
    {
        std::unique_ptr<StepFrame> owned(frame);
        std::lock_guard<std::mutex> lock(mutex);
        if (frames.size() < MAX_SPARES)
            frames.push_back(std::move(owned));
    }
};

FrameExchange::FrameExchange() : spares(std::make_shared<Spares>()) {}

FrameExchange::~FrameExchange() = default;

std::unique_ptr<StepFrame> FrameExchange::blank()
{
    {
        std::lock_guard<std::mutex> lock(spares->mutex);
        if (!spares->frames.empty()) {
            std::unique_ptr<StepFrame> frame = std::move(spares->frames.back());
            spares->frames.pop_back();
            return frame;
        }
    }
    return std::make_unique<StepFrame>();
}

void FrameExchange::publish(std::unique_ptr<StepFrame> frame)
{
    std::shared_ptr<Spares> home = spares;
    std::shared_ptr<const StepFrame> shared(frame.release(), [home](const StepFrame *f) {
        home->giveBack(const_cast<StepFrame *>(f)); // filled again only after every reader let go
    });
    {
        std::lock_guard<std::mutex> lock(latestMutex);
        m_latest.swap(shared);
    }
    // The previous frame goes back (if no reader holds it) outside the lock.
}

std::shared_ptr<const StepFrame> FrameExchange::latest() const
{
    std::lock_guard<std::mutex> lock(latestMutex);
    return m_latest;
}
