// Exact times for the cycle's frame counts: seconds as num / den in 128-bit
// integers, so periods of many ranges are compared without rounding.
#pragma once

namespace hw::cycle_time {

using U128 = unsigned __int128;
using I128 = __int128;

// A time in seconds, num / den, in lowest terms (den > 0).
struct Fraction {
  U128 num = 0;
  U128 den = 1;
};

inline U128 Gcd(U128 a, U128 b) {
  while (b != 0) {
    const U128 r = a % b;
    a = b;
    b = r;
  }
  return a;
}

inline Fraction Reduced(U128 num, U128 den) {
  const U128 g = Gcd(num, den);
  return g == 0 ? Fraction{0, 1} : Fraction{num / g, den / g};
}

}  // namespace hw::cycle_time
