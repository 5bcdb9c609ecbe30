#include "simulationdata.h"

#include "bus.h"
#include "car.h"
#include "cell.h"
#include "crossroad.h"
#include "generator.h"
#include "semaphore.h"
#include "simulationlocks.h"
#include "tram.h"

SimulationData::~SimulationData()
{
    for (Generator *generator : generators)
        delete generator;
    {
        VehiclesLocker lock;
        for (Car *car : cars)
            delete car;
        for (Tram *tram : trams)
            delete tram;
        for (Bus *bus : buses)
            delete bus;
        cars.clear();
        trams.clear();
        buses.clear();
    }
    for (Cell *cell : cells)
        delete cell;
    for (Crossroad *crossroad : crossroads)
        delete crossroad;
    for (Semaphore *semaphore : semaphores)
        delete semaphore;
}
