#include "win/process_table.h"

#include <winternl.h>

#include <algorithm>

namespace win {
namespace {

constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
// Room for processes started between two calls.
constexpr ULONG kSpareBytes = 16 * 1024;

}  // namespace

bool ProcessTable::query() {
  if (buffer_.empty()) buffer_.resize(std::size_t{64} * 1024 / sizeof(ULONG_PTR));
  NTSTATUS status = kLengthMismatch;
  for (int tries = 0; tries < 4 && status == kLengthMismatch; ++tries) {
    ULONG needed = 0;
    const auto bytes = static_cast<ULONG>(buffer_.size() * sizeof(ULONG_PTR));
    status = NtQuerySystemInformation(SystemProcessInformation, buffer_.data(), bytes, &needed);
    if (status == kLengthMismatch)
      buffer_.resize((std::max(needed, bytes * 2) + kSpareBytes) / sizeof(ULONG_PTR) + 1);
  }
  if (!NT_SUCCESS(status)) {
    SetLastError(RtlNtStatusToDosError(status));
    return false;
  }
  return true;
}

bool ProcessTable::walk(const Visit& visit) {
  if (!query()) return false;
  const auto* base = reinterpret_cast<const unsigned char*>(buffer_.data());
  for (ULONG offset = 0;;) {
    const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(base + offset);
    const int wide = static_cast<int>(entry->ImageName.Length / sizeof(WCHAR));
    image_.resize(static_cast<std::size_t>(wide) * 2);
    const int n = wide ? WideCharToMultiByte(CP_ACP, 0, entry->ImageName.Buffer, wide, image_.data(),
                                             static_cast<int>(image_.size()), nullptr, nullptr)
                       : 0;
    visit(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId)),
          std::string_view(image_.data(), static_cast<std::size_t>(n)));
    if (!entry->NextEntryOffset) break;
    offset += entry->NextEntryOffset;
  }
  return true;
}

bool ProcessTable::usage(const std::function<void(const Usage&)>& visit) {
  if (!query()) return false;
  const auto* base = reinterpret_cast<const unsigned char*>(buffer_.data());
  for (ULONG offset = 0;;) {
    const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(base + offset);
    visit({static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId)),
           static_cast<std::uint64_t>(entry->UserTime.QuadPart + entry->KernelTime.QuadPart),
           entry->VirtualMemoryCounters.PagefileUsage});
    if (!entry->NextEntryOffset) break;
    offset += entry->NextEntryOffset;
  }
  return true;
}

unsigned processorCount() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1;
}

}  // namespace win
