#include "generator.h"

#include <atomic>

namespace {
std::atomic<int32_t> nextGeneratorId{0};
}

Generator::Generator(Cell *cell, std::vector<Car *> *cars, int32_t period)
    : id(nextGeneratorId++), period(period), cell(cell), cars(cars)
{}
