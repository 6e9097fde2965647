#pragma once
// The one error type of the programs: a failure with the description that a
// message shows after "Error: ", and the system's code for it when there is
// one (an errno value, a Win32 error or an HRESULT). No system headers.
#include <exception>
#include <stdexcept>
#include <string>

namespace base {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& description, long code = 0)
      : std::runtime_error(description), code_(code) {}
  long code() const noexcept { return code_; }

 private:
  long code_;
};

// The description of any failure, for the "Error: " message: an Error's own
// text, a system error's description, any other exception's what().
std::string describe(const std::exception& e);

}  // namespace base
