#ifndef KOLVEX_MODEL_SIMULATIONLOCKS_H
#define KOLVEX_MODEL_SIMULATIONLOCKS_H

#include <QMutex>

/// The two process-wide locks shared between the step loop, the painter and teardown.
///
/// The vehicles mutex guards the vehicle lists while vehicles are added, removed or painted; the
/// simulation mutex is held while a simulation is destroyed and tested by the step loop.
class SimulationLocks
{
public:
    static SimulationLocks &instance();

    static void lockVehicles() { instance().vehiclesMutex.lock(); }
    static void unlockVehicles() { instance().vehiclesMutex.unlock(); }
    static void lockSimulation() { instance().simulationMutex.lock(); }
    static void unlockSimulation() { instance().simulationMutex.unlock(); }
    /// Whether the simulation mutex is held by someone; never blocks.
    static bool isSimulationLocked();

    QMutex vehiclesMutex;
    QMutex simulationMutex;

private:
    SimulationLocks() = default;
};

/// Holds the vehicles mutex for the lifetime of the object.
class VehiclesLocker
{
public:
    VehiclesLocker() { SimulationLocks::lockVehicles(); }
    ~VehiclesLocker() { SimulationLocks::unlockVehicles(); }
    VehiclesLocker(const VehiclesLocker &) = delete;
    VehiclesLocker &operator=(const VehiclesLocker &) = delete;
};

#endif
