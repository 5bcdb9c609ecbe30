#ifndef KOLVEX_MODEL_GENERATOR_H
#define KOLVEX_MODEL_GENERATOR_H

#include <cstdint>
#include <vector>

class Car;
class Cell;

/// A car source at an entry of the network.
class Generator
{
public:
    Generator(int32_t id, Cell *cell, std::vector<Car *> *cars, int32_t period = 100);

    int32_t id;
    int32_t period;        ///< bound of the random gap between two cars, in steps
    int32_t countdown = 0; ///< steps until the next attempt
    Cell *cell;            ///< where the tail of a new car is placed
    std::vector<Car *> *cars;
};

#endif
