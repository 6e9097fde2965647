#include "base/error.h"

#include <system_error>

namespace base {

std::string describe(const std::exception& e) {
  if (auto* system = dynamic_cast<const std::system_error*>(&e)) return system->code().message();
  return e.what();
}

}  // namespace base
