#ifndef KOLVEX_MODEL_RANDOM_H
#define KOLVEX_MODEL_RANDOM_H

#include <cstdint>

/// A small seedable generator with the value range of the C library rand(): 0..32767.
/// Every random draw of the simulation goes through one of these, so a run is repeatable.
class RandomStream
{
public:
    static constexpr int32_t MAX = 32767;

    explicit RandomStream(uint64_t seed = 1) { reseed(seed); }
    void reseed(uint64_t seed);
    /// The next value in 0..MAX.
    int32_t next();

private:
    uint64_t state = 0;
};

namespace Random {
/// The seed a run starts with when none is set, like an unseeded rand().
constexpr uint64_t DEFAULT_SEED = 1;
} // namespace Random

/// The random draws of one run: a run-wide stream and the seeds of per-vehicle streams.
///
/// The run-wide stream serves draws made in one thread at a time (preparation, the step's serial
/// phases). Draws made during the parallel decision phase come from each vehicle's own stream,
/// seeded from the run seed and the vehicle id, so results do not depend on thread scheduling.
class RunRandom
{
public:
    explicit RunRandom(uint64_t seed = Random::DEFAULT_SEED) { setSeed(seed); }

    /// Restarts the run-wide stream from `seed`; later vehicle streams derive from it too.
    void setSeed(uint64_t seed);
    uint64_t seed() const { return m_seed; }
    /// One draw from the run-wide stream, in 0..32767.
    int32_t draw() { return m_stream.next(); }
    /// The seed of the stream of the vehicle with this id.
    uint64_t vehicleSeed(int32_t vehicleId) const;

private:
    uint64_t m_seed = Random::DEFAULT_SEED;
    RandomStream m_stream;
};

#endif
