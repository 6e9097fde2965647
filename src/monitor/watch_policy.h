#pragma once
// When the engine reads its data files again, and how it reports a failure
// that it works around, decided without touching the system and tested with
// made-up times.
#include <cstdint>
#include <optional>
#include <string>

namespace monitor {

// A change is read once the folder has been quiet this long...
inline constexpr std::int64_t kSettleMs = 200;
// ...and never later than this after the first change not yet read, however
// busy the folder (the engine's own log, a program writing beside it).
inline constexpr std::int64_t kLongestSettleMs = 1000;

// When the data files are due to be read.
class ReadSchedule {
 public:
  void changed(std::int64_t now);  // the folder changed
  void retryAt(std::int64_t at);   // read again then at the latest, changed or not
  void read();                     // the files were read: nothing is due
  std::optional<std::int64_t> due() const;

 private:
  std::optional<std::int64_t> firstChange_, settled_, retry_;
};

// A failure that recurs (the process list, the service list, a file, the
// wait) gets one log line when it begins and one when it ends, none while it
// goes on: "processes.ob cannot be read (reason): the list read before stays
// in force; trying again every second", then "processes.ob can be read again".
class FaultNote {
 public:
  FaultNote(std::string subject, std::string verb, std::string meanwhile)
      : subject_(std::move(subject)), verb_(std::move(verb)), meanwhile_(std::move(meanwhile)) {}
  // The line due for this outcome: nothing, or the reason it failed.
  std::optional<std::string> update(const std::optional<std::string>& failure);

 private:
  std::string subject_, verb_, meanwhile_;
  bool failing_ = false;
};

}  // namespace monitor
