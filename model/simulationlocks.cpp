#include "simulationlocks.h"

SimulationLocks &SimulationLocks::instance()
{
    // Created on first use and never destroyed, so no thread can outlive it.
    static SimulationLocks *locks = new SimulationLocks;
    return *locks;
}

bool SimulationLocks::isSimulationLocked()
{
    QMutex &mutex = instance().simulationMutex;
    if (!mutex.tryLock(0))
        return true;
    mutex.unlock();
    return false;
}
