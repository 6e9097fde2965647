#pragma once
// The running processes, read with one call of the system's process list
// into a buffer kept from one walk to the next. A toolhelp snapshot costs
// several times more under load: it asks for the whole list again each time
// its buffer turns out too small, and copies it once more.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace win {

class ProcessTable {
 public:
  using Visit = std::function<void(DWORD processId, std::string_view image)>;

  // Calls `visit` with each running process's id and program file name (in
  // the ANSI code page). False when the list cannot be had; GetLastError()
  // tells why.
  bool walk(const Visit& visit);

 private:
  std::vector<ULONG_PTR> buffer_;  // the list as the system wrote it, suitably aligned
  std::string image_;
};

}  // namespace win
