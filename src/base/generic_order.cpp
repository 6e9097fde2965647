#include "base/generic_order.h"

#include "base/text.h"

namespace base {
namespace {

int rank(std::string_view cell) {
  if (cell.empty()) return 0;
  return base::isNumber(cell) ? 1 : 2;
}

}  // namespace

bool genericLess(std::string_view a, std::string_view b) {
  const int ra = rank(a), rb = rank(b);
  if (ra != rb) return ra < rb;
  if (ra == 1) return base::leadingNumber(a) < base::leadingNumber(b);
  return base::upperCase(a) < base::upperCase(b);
}

}  // namespace base
