#include "semaphore.h"

#include "units.h"

void Semaphore::addGroup(WayEnd *key)
{
    m_lights[key] = Red;
    m_groups.push_back(key);
    if (m_lights.size() == 1)
        m_lights[key] = Green;
}

void Semaphore::update()
{
    m_timer -= units::STEP_S;
    if (m_timer > 0.0 || m_groups.empty())
        return;
    // The timer is set to the new phase's length, not added to what is left.
    switch (m_phase) {
    case GreenRunning:
        m_lights[m_groups[size_t(m_current)]] = Amber;
        m_timer = AMBER_SECONDS;
        m_phase = AmberEnding;
        break;
    case AmberEnding:
        m_lights[m_groups[size_t(m_current)]] = Red;
        m_current = int32_t((size_t(m_current) + 1) % m_groups.size());
        m_lights[m_groups[size_t(m_current)]] = Amber;
        m_timer = AMBER_SECONDS;
        m_phase = AmberStarting;
        break;
    default:
        m_lights[m_groups[size_t(m_current)]] = Green;
        m_timer = GREEN_SECONDS;
        m_phase = GreenRunning;
        break;
    }
}

bool Semaphore::isGreen(const WayBinding *way) const
{
    for (const auto &entry : m_lights)
        if (entry.first && entry.first->way == way)
            return entry.second == Green;
    return true;
}

int32_t Semaphore::light(WayEnd *key) const
{
    auto it = m_lights.find(key);
    return it == m_lights.end() ? int32_t(Red) : it->second;
}
