#include "car.h"

#include <cmath>

Car::Car()
{
    m_length = int32_t(std::lround(4.0 * (Random::draw() % 3 + 3)));
}
