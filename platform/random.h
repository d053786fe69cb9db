#pragma once

#include <cstdint>

namespace platform {

// The one process-wide pseudo-random generator, seeded once when the main window loads.
void Randomize(); // from the clock
void Randomize(std::uint64_t seed); // fixed, for tests
// The next value, uniform in [0, 1).
double Rnd();

} // namespace platform
