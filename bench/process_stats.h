#pragma once
// What the benchmarks read of another process from outside, in ways that work
// under Wine 8 too: there GetProcessHandleCount and PrivateUsage read 0, so
// the handles are counted in the system's handle table (class 16 of
// NtQuerySystemInformation), the private bytes read from PagefileUsage, and
// the CPU time taken from the process list (GetProcessTimes of another process
// reads the same small figure for every process).
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <vector>

#include "win/process_table.h"

namespace bench {

// The CPU time of a process so far, in seconds, from the process list; -1 when it is not listed.
inline double cpuSeconds(DWORD processId) {
  win::ProcessTable table;
  double seconds = -1;
  table.usage([&](const win::ProcessTable::Usage& u) {
    if (u.processId == processId) seconds = static_cast<double>(u.cpu100ns) / 1e7;
  });
  return seconds;
}

// The process's entries in the system handle table; -1 when it cannot be read.
inline long handleCount(DWORD processId) {
  struct Entry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO
    USHORT processId, creatorBackTraceIndex;
    UCHAR objectType, attributes;
    USHORT handle;
    void* object;
    ULONG access;
  };
  struct Table {
    ULONG count;
    Entry entries[1];
  };
  static std::vector<ULONG_PTR> buffer(1 << 16);
  for (int tries = 0; tries < 8; ++tries) {
    const auto bytes = static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR));
    ULONG needed = 0;
    const NTSTATUS status =
        NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), buffer.data(), bytes, &needed);
    if (status == static_cast<NTSTATUS>(0xC0000004L)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != 0) return -1;
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    long n = 0;
    for (ULONG i = 0; i < table->count; ++i)
      if (table->entries[i].processId == static_cast<USHORT>(processId)) ++n;
    return n;
  }
  return -1;
}

inline PROCESS_MEMORY_COUNTERS_EX memoryOf(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  return counters;
}

}  // namespace bench
