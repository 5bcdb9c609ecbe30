#include "generator.h"

Generator::Generator(int32_t id, Cell *cell, std::vector<Car *> *cars, int32_t period)
    : id(id), period(period), cell(cell), cars(cars)
{}
