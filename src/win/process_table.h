#pragma once
// The running processes, read with one call of the system's process list
// into a buffer kept from one walk to the next. A toolhelp snapshot costs
// several times more under load: it asks for the whole list again each time
// its buffer turns out too small, and copies it once more.
#include <windows.h>

#include <cstdint>
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

  struct Usage {
    DWORD processId = 0;
    std::uint64_t cpu100ns = 0;  // kernel and user time so far, in 100 ns units
    // The commit charge (PagefileUsage), the same figure as private bytes on
    // Windows; Wine reads PrivateUsage of another process as 0, this one right.
    std::uint64_t privateBytes = 0;
  };
  // Calls `visit` with what each running process has used, from the same
  // list: one call for every process (under Wine, GetProcessTimes of another
  // process reads next to nothing). False as walk().
  bool usage(const std::function<void(const Usage&)>& visit);

 private:
  bool query();                    // the list into buffer_
  std::vector<ULONG_PTR> buffer_;  // the list as the system wrote it, suitably aligned
  std::string image_;
};

// The processors the machine has, for CPU as a share of the whole machine.
unsigned processorCount();

}  // namespace win
