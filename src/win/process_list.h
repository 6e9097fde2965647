#pragma once
// Walks the running processes through a toolhelp snapshot.
#include <windows.h>
#include <tlhelp32.h>

#include "win/unique_resource.h"

namespace win {

// Calls `visit(const PROCESSENTRY32&)` for each running process until it
// returns false. Returns false when the snapshot cannot be taken.
template <class Visit>
bool forEachProcess(Visit visit) {
  unique_file_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32First(snapshot.get(), &entry); ok; ok = Process32Next(snapshot.get(), &entry))
    if (!visit(static_cast<const PROCESSENTRY32&>(entry))) break;
  return true;
}

}  // namespace win
