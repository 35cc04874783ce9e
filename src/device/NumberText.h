#pragma once

#include <string>

namespace orvane {

// The one way the console writes a 64-bit float as text: the shortest digits that read back as
// the same value; positional with at least one fraction digit for magnitudes from 0.0001 to
// 2^54 (100.0, -50.0, 33.33333333333333), exponent form outside that range
// (9.999999999999999e-06, 1e-05); 0.0, -0.0, nan, inf and -inf as written here.
std::string numberText(double value);

}  // namespace orvane
