#pragma once

#include <cstdint>

namespace pelorin {

class RuntimeContext;

/// a ÷ b in double precision. The quotient is always returned, as IEEE arithmetic gives it;
/// when the division raises a floating-point exception the matching error is raised after it:
/// "Division by zero" for x ÷ 0 with x not zero, "Overflow" for 0 ÷ 0, ∞ ÷ ∞ and a finite
/// quotient too large for a double.
double Divide(RuntimeContext& ctx, double a, double b);

/// `value` as a 16-bit integer; raises "Overflow" and gives 0 when it does not fit.
std::int16_t NarrowToInt16(RuntimeContext& ctx, std::int32_t value);

}  // namespace pelorin
