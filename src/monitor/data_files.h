#pragma once
// processes.ob, settings.ob and monitor.ini as the engine reads them: the folder is
// watched for changes; each file is read once and those bytes are parsed,
// so a rewrite caught between two reads cannot mix them. Only "not found"
// means a file is gone: one that cannot be opened for another reason (a
// deployment tool copying it, access denied) keeps its last contents in
// force and is read again shortly.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/item_file.h"
#include "formats/monitor_ini.h"
#include "formats/settings_file.h"
#include "monitor/watch_policy.h"
#include "win/unique_resource.h"

namespace monitor {

class DataFiles {
 public:
  explicit DataFiles(std::string folder);

  // Signalled when the folder changes; nullptr when it cannot be watched
  // (then the files are read every 2 s).
  HANDLE changeHandle() const { return change_ ? change_.get() : nullptr; }
  void folderChanged(std::int64_t now);
  // When the files are to be read next, if at all.
  std::optional<std::int64_t> due() const { return schedule_.due(); }

  struct Update {
    std::optional<formats::Settings> settings;  // new contents, or missing: every action off
    std::optional<formats::ItemTable> items;    // a new list
    std::optional<formats::MonitorIni> ini;     // new monitor.ini contents (missing: nothing set)
    std::vector<std::string> notes;             // for the log: failures begun or ended
  };
  // Reads both files; the first read that can read both gives both, later
  // ones what changed.
  Update read(std::int64_t now);

 private:
  struct Known {
    std::string path;
    FaultNote fault;
    std::optional<std::optional<std::string>> bytes;  // as last taken; inside, nullopt: missing
  };
  enum class Got { Read, Missing, Unreadable };
  static Got fetch(Known& known, std::string& bytes, std::vector<std::string>& notes);

  std::string folder_;
  win::unique_change_notification change_;
  ReadSchedule schedule_;
  Known items_, settings_, ini_;  // after folder_
  std::optional<std::int64_t> partialSince_;
  bool first_ = true;
  std::string watchFailure_;             // for the log at the next read; empty once written
  std::vector<std::string> firstNotes_;  // the log lines of the first reads, held until both files are read
};

}  // namespace monitor
