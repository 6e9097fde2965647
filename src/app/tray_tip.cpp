#include "app/tray_tip.h"

#include <algorithm>

namespace app {

std::array<char, kTipField> fitTrayTip(std::string_view text) {
  std::array<char, kTipField> field;
  field.fill(' ');
  const std::size_t n = std::min(text.size(), kTipField - 1);
  std::copy_n(text.begin(), n, field.begin());
  field[n] = '\0';
  return field;
}

}  // namespace app
