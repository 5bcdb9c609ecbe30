#ifndef KOLVEX_MODEL_SEMAPHORE_H
#define KOLVEX_MODEL_SEMAPHORE_H

#include "bindingrecords.h"

#include <cstdint>
#include <map>
#include <vector>

/// The traffic signal of one crossroad: signal groups served in turn, one per arriving way end.
/// Each group is green for 20 s and amber for 3 s, then red while the next group shows amber for
/// 3 s and green; a cycle of n groups lasts 26 × n seconds. Updated once per step in the step
/// thread, read by the concurrent decisions.
class Semaphore
{
public:
    enum Light : int32_t { Green = 0, Amber = 1, Red = 2 };
    enum Phase : int32_t { GreenRunning = 0, AmberEnding = 1, AmberStarting = 2 };

    static constexpr double GREEN_SECONDS = 20.0;
    static constexpr double AMBER_SECONDS = 3.0;

    Semaphore() = default;
    Semaphore(const Semaphore &) = delete;
    Semaphore &operator=(const Semaphore &) = delete;
    virtual ~Semaphore() = default;

    /// Appends a signal group; the first group added starts green, every other one red.
    void addGroup(WayEnd *key);
    /// Advances the cycle by one step.
    void update();
    /// Whether the group of the way `way` shows green; true for a way that has no group here.
    bool isGreen(const WayBinding *way) const;

    const std::map<WayEnd *, int32_t, WayEndOrder> &lights() const { return m_lights; }
    const std::vector<WayEnd *> &groups() const { return m_groups; }
    /// The light of one group; Red for a key that is not a group.
    int32_t light(WayEnd *key) const;
    int32_t current() const { return m_current; }
    int32_t phase() const { return m_phase; }
    double timer() const { return m_timer; }

protected:
    std::map<WayEnd *, int32_t, WayEndOrder> m_lights;
    std::vector<WayEnd *> m_groups;
    int32_t m_current = 0;
    int32_t m_phase = GreenRunning;
    double m_timer = GREEN_SECONDS;
};

#endif
