#include "monitor/data_files.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "monitor/item_control.h"
#include "monitor/stop_policy.h"

namespace monitor {
namespace {

// A file that still looks cut short after this long is taken as it is.
constexpr std::int64_t kPartialLimitMs = 2000;
// How soon a file that could not be opened is tried again.
constexpr std::int64_t kUnreadableRetryMs = 1000;
// How often the files are read when the folder cannot be watched.
constexpr std::int64_t kUnwatchedFolderMs = 2000;

}  // namespace

DataFiles::DataFiles(std::string folder)
    : folder_(std::move(folder)),
      items_{formats::itemFilePath(folder_),
             {std::string(formats::kItemFileName), "read",
              "the list read before stays in force; trying again every second"},
             {}},
      settings_{formats::settingsFilePath(folder_),
                {std::string(formats::kSettingsFileName), "read",
                 "the settings read before stay in force; trying again every second"},
                {}},
      ini_{formats::monitorIniPath(folder_),
           {std::string(formats::kMonitorIniFileName), "read",
            "the settings read before stay in force; trying again every second"},
           {}} {
  change_.reset(FindFirstChangeNotificationA(
      folder_.c_str(), FALSE,
      FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE));
  if (!change_) watchFailure_ = failureText(GetLastError());
}

void DataFiles::folderChanged(std::int64_t now) {
  // A watch that cannot be renewed would stay signalled: the files are read
  // on a timer instead.
  if (!FindNextChangeNotification(change_.get())) {
    watchFailure_ = failureText(GetLastError());
    change_.reset();
  }
  schedule_.changed(now);
}

// Reads one file: its bytes, or that it is missing, or that it cannot be
// read now (noted once).
DataFiles::Got DataFiles::fetch(Known& known, std::string& bytes, std::vector<std::string>& notes) {
  win::unique_file_handle file(CreateFileA(known.path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD error = file ? NO_ERROR : GetLastError();
  const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  char buffer[4096];
  for (DWORD got = 0; file && error == NO_ERROR;) {
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
      error = GetLastError();
    else if (got == 0)
      break;
    else
      bytes.append(buffer, got);
  }
  const bool unreadable = error != NO_ERROR && !missing;
  if (auto line = known.fault.update(unreadable ? std::optional(failureText(error)) : std::nullopt))
    notes.push_back(std::move(*line));
  if (unreadable) return Got::Unreadable;
  return missing ? Got::Missing : Got::Read;
}

DataFiles::Update DataFiles::read(std::int64_t now) {
  Update update;
  std::string itemBytes, settingsBytes;
  if (!watchFailure_.empty())
    update.notes.push_back("the folder cannot be watched (" + std::exchange(watchFailure_, {}) +
                           "): its files are read every 2 s");
  const Got items = fetch(items_, itemBytes, update.notes);
  const Got settings = fetch(settings_, settingsBytes, update.notes);
  std::string iniBytes;
  const Got ini = fetch(ini_, iniBytes, update.notes);
  schedule_.read();
  if (!change_) schedule_.retryAt(now + kUnwatchedFolderMs);
  const bool unreadable = items == Got::Unreadable || settings == Got::Unreadable;
  if (unreadable || ini == Got::Unreadable) schedule_.retryAt(now + kUnreadableRetryMs);
  // Until both files have been read whole, the engine knows nothing: it
  // begins with what they hold, not with nothing because one is locked, and
  // the log lines meanwhile wait for the settings that say whether to log.
  auto heldBack = [&] {
    if (!first_) return std::move(update);
    std::move(update.notes.begin(), update.notes.end(), std::back_inserter(firstNotes_));
    return Update{};
  };

  // The utility truncates and rewrites in place: a file caught in the middle
  // is read again shortly, the previous contents staying in force meanwhile.
  const bool whole = (items != Got::Read || looksWhole(itemBytes, 1)) &&
                     (settings != Got::Read || looksWhole(settingsBytes, formats::kSettingsSlots));
  if (!whole) {
    if (!partialSince_) partialSince_ = now;
    if (now - *partialSince_ < kPartialLimitMs) {
      schedule_.retryAt(now + kSettleMs);
      return heldBack();
    }
  }
  partialSince_.reset();
  if (first_ && unreadable) return heldBack();
  if (first_) update.notes.insert(update.notes.begin(), firstNotes_.begin(), firstNotes_.end());

  // A file is given when its bytes differ from those taken before (missing
  // counts as contents: every action off, no items), and at the first read.
  auto take = [&](Known& known, Got got, std::string& bytes) {
    if (got == Got::Unreadable) return false;
    std::optional<std::string> read;
    if (got == Got::Read) read = std::move(bytes);
    const bool changed = !known.bytes || *known.bytes != read;
    known.bytes = std::move(read);
    return changed || first_;
  };
  if (take(settings_, settings, settingsBytes))
    update.settings = settings_.bytes && *settings_.bytes ? formats::readSettingsText(**settings_.bytes)
                                                          : formats::Settings{};
  if (take(items_, items, itemBytes)) {
    update.items.emplace();
    if (items_.bytes && *items_.bytes) formats::readItemText(**items_.bytes, *update.items);
  }
  // monitor.ini is written by hand, often without a last line break: taken as it is.
  if (take(ini_, ini, iniBytes))
    update.ini = formats::readMonitorIniText(ini_.bytes && *ini_.bytes ? **ini_.bytes : std::string());
  first_ = false;
  return update;
}

}  // namespace monitor
