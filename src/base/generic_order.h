#pragma once
// The order in which the service picker sorts its rows: empty cells first,
// then cells that read as numbers, by value, then all other cells as text
// without regard to letter case.
#include <string_view>

namespace base {

bool genericLess(std::string_view a, std::string_view b);

}  // namespace base
