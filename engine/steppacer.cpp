#include "steppacer.h"

#include <cmath>

void StepPacer::setPeriod(int32_t ms)
{
    m_period = ms;
    m_idleTimes.clear();
    start();
}

void StepPacer::start()
{
    m_clock = now();
    m_deadline = m_clock + m_period;
}

int32_t StepPacer::nextDelay()
{
    m_clock = now();
    int64_t wait = m_deadline - m_clock;
    if (wait < 0) {
        m_overtime = int32_t(-wait);
        wait = 0;
    } else {
        m_overtime = 0;
    }
    if (m_idleTimes.size() > HISTORY - 1)
        m_idleTimes.pop_back();
    m_idleTimes.push_front(int32_t(wait));
    m_deadline += m_period;
    return int32_t(wait);
}

int32_t StepPacer::averageIdle() const
{
    if (m_idleTimes.empty())
        return 0;
    int64_t sum = 0;
    for (int32_t w : m_idleTimes)
        sum += w;
    return int32_t(sum / int64_t(m_idleTimes.size()));
}

int32_t StepPacer::idlePercent() const
{
    if (m_period == 0)
        return 0;
    return int32_t(std::round(averageIdle() * 100.0 / m_period));
}

int64_t StepPacer::now() const
{
    if (!m_elapsed.isValid())
        m_elapsed.start();
    return m_elapsed.elapsed();
}
