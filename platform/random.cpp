#include "random.h"

#include <chrono>
#include <random>

namespace platform {

namespace {
std::mt19937_64 &generator()
{
    static std::mt19937_64 engine(0x4c756d656e6f);
    return engine;
}
} // namespace

void Randomize()
{
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    generator().seed(static_cast<std::uint64_t>(now));
}

void Randomize(std::uint64_t seed)
{
    generator().seed(seed);
}

double Rnd()
{
    // 53 random bits make every double in [0, 1) equally likely and 1.0 impossible.
    return static_cast<double>(generator()() >> 11) * 0x1.0p-53;
}

} // namespace platform
