#include "monitor/duty_policy.h"

#include <cstdio>

namespace monitor {

const char* kindName(EngineKind kind) { return kind == EngineKind::Program ? "program" : "service"; }

std::string dutyLockName(std::string_view folderFullPath, EngineKind kind) {
  // FNV-1a over the path with ASCII letters in lower case, without a
  // trailing backslash. Other bytes stay as they are: the C runtime folds
  // them by the locale, which may differ between LocalSystem and the user.
  while (folderFullPath.ends_with('\\') || folderFullPath.ends_with('/')) folderFullPath.remove_suffix(1);
  std::uint64_t hash = 14'695'981'039'346'656'037ULL;
  for (const char c : folderFullPath) {
    const char lower = c == '/' ? '\\' : c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    hash = (hash ^ static_cast<unsigned char>(lower)) * 1'099'511'628'211ULL;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return std::string("Global\\BrennixMonitor.") + hex + "." + kindName(kind);
}

bool actsFor(EngineKind self, const DutyView& view, bool serviceItem) {
  if (view.alone) return true;
  if (!view.ownHeld) return false;
  const bool ownKind = serviceItem == (self == EngineKind::Service);
  return ownKind || !view.otherRuns;
}

std::string dutyText(EngineKind self, const DutyView& view) {
  const bool program = self == EngineKind::Program;
  if (!view.alone && !view.ownHeld)
    return std::string("restarts nothing while another engine ") + kindName(self) + " of this folder runs";
  if (!view.alone && view.otherRuns)
    return program ? "restarts programs; the service restarts services"
                   : "restarts services; the engine program restarts programs";
  return program ? "restarts programs and services"
                 : "restarts services, and programs as LocalSystem in the services' session";
}

}  // namespace monitor
