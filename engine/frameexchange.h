#ifndef KOLVEX_ENGINE_FRAMEEXCHANGE_H
#define KOLVEX_ENGINE_FRAMEEXCHANGE_H

#include "stepframe.h"

#include <memory>
#include <mutex>

/// Hands the frames of one run from the thread that steps it to the threads that show it: the
/// latest frame published, shared and never changed again. A frame that no reader holds any more
/// comes back to be filled again, so that a run under way allocates no frame storage.
///
/// publish and blank are called by the stepping thread only; latest by any thread. Its locks are
/// the run's own, held only for a pointer's exchange.
class FrameExchange
{
public:
    FrameExchange();
    FrameExchange(const FrameExchange &) = delete;
    FrameExchange &operator=(const FrameExchange &) = delete;
    ~FrameExchange();

    /// A frame to fill: one that came back, or a new one.
    std::unique_ptr<StepFrame> blank();
    /// Makes `frame` the latest one; nobody changes it from now on.
    void publish(std::unique_ptr<StepFrame> frame);
    /// The latest frame, null before the first.
    std::shared_ptr<const StepFrame> latest() const;

private:
    /// Frames that came back; shared with every frame handed out, which may outlive the exchange.
    struct Spares;

    std::shared_ptr<Spares> spares;
    mutable std::mutex latestMutex;
    std::shared_ptr<const StepFrame> m_latest;
};

#endif
