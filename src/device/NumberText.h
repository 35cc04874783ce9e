#pragma once

#include <string>

namespace orvane {

// The one way the console writes a 64-bit float as text: the shortest digits that read back as
// the same value; positional with at least one fraction digit for magnitudes from 0.0001 to
// 2^54 (100.0, -50.0, 33.33333333333333), exponent form outside that range
// (9.999999999999999e-06, 1e-05); 0.0, -0.0, nan, inf and -inf as written here.
std::string numberText(double value);

// Fixed-point text with `decimals` fraction digits, rounded, whatever the locale ("12.346",
// "0.0"): a value that rounds to zero has no sign. A value that is not finite, or too large to
// write so, is written as numberText writes it.
std::string fixedText(double value, int decimals);

}  // namespace orvane
