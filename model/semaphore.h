#ifndef KOLVEX_MODEL_SEMAPHORE_H
#define KOLVEX_MODEL_SEMAPHORE_H

#include "bindingrecords.h"

#include <cstdint>
#include <map>
#include <vector>

/// The traffic signal of one crossroad: signal groups served in turn, one per arriving way end.
class Semaphore
{
public:
    enum Light : int32_t { Green = 0, Amber = 1, Red = 2 };

    Semaphore() = default;
    virtual ~Semaphore() = default;

    const std::map<WayEnd *, int32_t, WayEndOrder> &lights() const { return m_lights; }
    const std::vector<WayEnd *> &groups() const { return m_groups; }

protected:
    std::map<WayEnd *, int32_t, WayEndOrder> m_lights;
    std::vector<WayEnd *> m_groups;
    int32_t m_current = 0;
    int32_t m_phase = 0;
    double m_timer = 20.0;
};

#endif
