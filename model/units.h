#ifndef KOLVEX_MODEL_UNITS_H
#define KOLVEX_MODEL_UNITS_H

#include <cstdint>

/// The units of the cellular automaton. A speed in cells per step is then numerically metres
/// per second, an acceleration cells per step per step.
namespace units {

/// Length of one cell of lane, track, crossroad path or stop bay, in metres.
constexpr double CELL_LENGTH_M = 0.25;
/// Cells in one metre.
constexpr double CELLS_PER_M = 1.0 / CELL_LENGTH_M;
/// The whole number of cells nearest to `metres` (not negative).
constexpr int32_t cells(double metres)
{
    return int32_t(metres * CELLS_PER_M + 0.5);
}
/// Simulated time of one step, in milliseconds.
constexpr int32_t STEP_MS = 250;
/// Simulated time of one step, in seconds.
constexpr double STEP_S = STEP_MS / 1000.0;
/// Steps in one second of simulated time.
constexpr double STEPS_PER_S = 1.0 / STEP_S;
/// The whole number of steps nearest to `seconds` (not negative).
constexpr int32_t steps(double seconds)
{
    return int32_t(seconds * STEPS_PER_S + 0.5);
}
/// Metres per second of a speed of one cell per step.
constexpr double MPS_PER_CELL_PER_STEP = CELL_LENGTH_M / STEP_S;
/// Kilometres per hour of a speed of one metre per second.
constexpr double KMH_PER_MPS = 3.6;
/// Kilometres per hour of a speed of one cell per step.
constexpr double KMH_PER_CELL_PER_STEP = MPS_PER_CELL_PER_STEP * KMH_PER_MPS;

} // namespace units

#endif
