#include "runtime/arithmetic.h"

#include <cmath>
#include <limits>

#include "runtime/context.h"

namespace pelorin {

double Divide(RuntimeContext& ctx, double a, double b) {
  const double quotient = a / b;
  const bool operandsFinite = std::isfinite(a) && std::isfinite(b);
  if (b == 0 && a != 0 && std::isfinite(a)) {
    ctx.raise(ErrorNumber::kDivisionByZero);
  } else if (std::isnan(quotient) && !std::isnan(a) && !std::isnan(b)) {
    ctx.raise(ErrorNumber::kOverflow);  // invalid operation: 0 ÷ 0 or ∞ ÷ ∞
  } else if (std::isinf(quotient) && operandsFinite) {
    ctx.raise(ErrorNumber::kOverflow);
  }
  return quotient;
}

std::int16_t NarrowToInt16(RuntimeContext& ctx, std::int32_t value) {
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    ctx.raise(ErrorNumber::kOverflow);
    return 0;
  }
  return static_cast<std::int16_t>(value);
}

}  // namespace pelorin
