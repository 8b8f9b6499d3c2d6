// Every wait and time-out of the library goes through here. The product runs
// with scale 1; tests shorten the waits through SetScale so that a silent
// device costs milliseconds instead of minutes. Not exported.
#pragma once

#include <chrono>
#include <cstdint>

namespace trelm::timing {

void SetScale(double scale);
double Scale();

// `ms` milliseconds times the scale, as a steady-clock duration.
std::chrono::steady_clock::duration Scaled(uint32_t ms);

// Sleeps `ms` milliseconds times the scale.
void Sleep(uint32_t ms);

} // namespace trelm::timing
