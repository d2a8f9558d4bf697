#include "platform/Random.h"

#include <cstdint>

namespace zandrel {

namespace {

// One sequence per thread: an effect reseeds and then draws its numbers, and pages drawn in bands
// on several threads must each get the sequence they seeded, as one pass would.
// The sequence before any seed is the one of seed 1, as with the C library's rand.
std::uint64_t& state()
{
    thread_local std::uint64_t value = 1;
    return value;
}

} // namespace

void Random::seed(unsigned value)
{
    state() = value;
}

int Random::next()
{
    // splitmix64: cheap to seed (effects reseed on every call) and well mixed in the low digits,
    // which matters because callers take the value modulo a million.
    std::uint64_t& value = state();
    value += 0x9e3779b97f4a7c15ULL;
    std::uint64_t z = value;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    return static_cast<int>(z >> 33);
}

} // namespace zandrel
