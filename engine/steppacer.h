#ifndef KOLVEX_ENGINE_STEPPACER_H
#define KOLVEX_ENGINE_STEPPACER_H

#include <QElapsedTimer>

#include <cstdint>
#include <deque>

/// Turns the step size into the wait before the next step, keeping the first rhythm: each
/// deadline is one period after the previous one, whatever the steps cost. Measures the idle
/// share of each period and by how much a step came late.
class StepPacer
{
public:
    /// Period of the schedule in milliseconds; restarts it and clears the idle history.
    void setPeriod(int32_t ms);
    /// Restarts the schedule: the next step is due one period from now.
    void start();
    /// Milliseconds to wait before the next step (0 if late), recording the wait.
    int32_t nextDelay();
    /// Integer mean of the recent waits; 0 without history.
    int32_t averageIdle() const;
    /// The mean wait as a share of the period, in whole percent.
    int32_t idlePercent() const;

    int32_t overtime() const { return m_overtime; }
    int32_t period() const { return m_period; }
    const std::deque<int32_t> &idleTimes() const { return m_idleTimes; }

    /// Milliseconds since the pacer's clock started; tests replace it to control time.
    virtual int64_t now() const;
    virtual ~StepPacer() = default;

private:
    static constexpr size_t HISTORY = 8;

    std::deque<int32_t> m_idleTimes; ///< newest first
    int32_t m_overtime = 0;
    int32_t m_period = 0;
    int64_t m_clock = 0;
    int64_t m_deadline = 0;
    mutable QElapsedTimer m_elapsed;
};

#endif
