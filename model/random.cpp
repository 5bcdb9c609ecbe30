#include "random.h"

namespace {

/// splitmix64: a full-period mixer; good statistical quality for its size.
uint64_t splitmix(uint64_t &x)
{
    uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

} // namespace

void RandomStream::reseed(uint64_t seed)
{
    state = seed;
}

int32_t RandomStream::next()
{
    return int32_t(splitmix(state) >> 49);
}

void RunRandom::setSeed(uint64_t seed)
{
    m_seed = seed;
    m_stream.reseed(seed);
}

uint64_t RunRandom::vehicleSeed(int32_t vehicleId) const
{
    uint64_t x = m_seed ^ (uint64_t(uint32_t(vehicleId)) << 32 | 0x5bd1e995u);
    return splitmix(x);
}
