#include "monitor/engine.h"

#include <mmsystem.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "formats/item_file.h"
#include "formats/settings_file.h"
#include "monitor/item_control.h"
#include "monitor/mail_sender.h"
#include "monitor/mail_worker.h"
#include "monitor/stop_policy.h"
#include "win/process_list.h"
#include "win/services.h"
#include "win/unique_resource.h"

namespace monitor {
namespace {

// A changed data file is read once it has been quiet this long.
constexpr std::int64_t kSettleMs = 200;
// A file that still looks cut short after this long is taken as it is.
constexpr std::int64_t kPartialLimitMs = 2000;
// How often the process list is walked while a program item has no
// process being waited on (it is stopped, or its processes could not be
// opened).
constexpr std::int64_t kScanMs = 500;
// How often the service states are read while there are service items.
constexpr std::int64_t kServicePollMs = 1000;
// How often the files are read when the folder cannot be watched.
constexpr std::int64_t kUnwatchedFolderMs = 2000;

constexpr char kLogFileName[] = "log.text";

Moment clockNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond);
  return {static_cast<std::int64_t>(GetTickCount64()), stamp};
}

// The file's bytes; nothing when it cannot be opened.
std::optional<std::string> readBytes(const std::string& path) {
  win::unique_file_handle file(CreateFileA(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

// Appends whole lines, each with CR LF, in one write. A log that cannot be
// written is passed over: watching goes on.
void appendLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const auto& line : lines) bytes.append(line).append("\r\n");
  win::unique_file_handle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  SetFilePointer(file.get(), 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void CALLBACK processEnded(void* wake, BOOLEAN) { SetEvent(static_cast<HANDLE>(wake)); }

// The restart duty, one named mutex for every engine of the machine. The
// service (LocalSystem) and the program (the user) must both be able to take
// it, whichever created it.
class DutyLock {
 public:
  DutyLock() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;AU)",
                                                             SDDL_REVISION_1, &descriptor, nullptr))
      attributes.lpSecurityDescriptor = descriptor;
    mutex_.reset(CreateMutexExA(&attributes, kDutyLockName, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE));
    if (descriptor) LocalFree(descriptor);
    // Without the lock there is no one to share the duty with.
    const DWORD taken = mutex_ ? WaitForSingleObject(mutex_.get(), 0) : WAIT_OBJECT_0;
    held_ = taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED;
  }
  ~DutyLock() {
    if (held_ && mutex_) ReleaseMutex(mutex_.get());
  }
  DutyLock(const DutyLock&) = delete;
  DutyLock& operator=(const DutyLock&) = delete;

  bool held() const { return held_; }
  // The mutex to wait on while another engine holds the duty.
  HANDLE waitable() const { return held_ ? nullptr : mutex_.get(); }
  void taken() { held_ = true; }

 private:
  win::unique_handle mutex_;
  bool held_ = false;
};

// One running instance of a program item, waited on from a thread of the
// system's pool; its end sets the engine's wake event.
struct Watch {
  win::unique_handle process;
  win::unique_wait wait;  // after `process`, so it is unregistered before that closes
};

struct Item {
  Item(std::string itemName, std::string itemPath, bool isService)
      : name(std::move(itemName)), path(std::move(itemPath)), service(isService), policy(name) {}

  std::string name;
  std::string path;
  bool service;
  ItemPolicy policy;
  // The instances waited on: those a walk found while the item was not
  // watched, and the one the engine started. The item stops when the last
  // one ends, with no walk in between, so a restart follows at once.
  std::vector<std::unique_ptr<Watch>> watches;
};

class Engine {
 public:
  Engine(HANDLE stop, const EngineOptions& options) : stop_(stop), options_(options) {}
  ~Engine() { playSound({}); }
  DWORD run(const std::function<void()>& running);

 private:
  std::string file(std::string_view name) const { return options_.folder + "\\" + std::string(name); }
  void readFiles(const Moment& now);
  void applyItems(const formats::ItemTable& table, const Moment& now, const char* why);
  void noteWatching(const Moment& now, const char* why);
  void takeOverDuty(const Moment& now);
  void collectEnded(const Moment& now);
  void scanProcesses(const Moment& now);
  void pollServices(const Moment& now);
  bool watch(Item& item, win::unique_handle process);
  void act();
  void restart(Item& item);
  void playSound(const std::string& file);
  bool programUnwatched() const;
  bool hasServices() const;
  DWORD timeout(std::int64_t now) const;

  HANDLE stop_;
  EngineOptions options_;
  DutyLock duty_;
  win::unique_handle wake_;  // a process ended, or an e-mail went out
  win::unique_change_notification change_;
  std::unique_ptr<MailSender> sender_;
  std::unique_ptr<MailWorker> mail_;
  std::vector<std::unique_ptr<Item>> items_;   // after wake_: their waits go first
  std::vector<std::unique_ptr<Watch>> ended_;  // waits whose process ended, dropped after act()
  StopActions actions_;
  std::vector<std::string> log_;

  std::optional<std::string> itemBytes_, settingsBytes_;  // as last applied
  bool filesRead_ = false;
  std::optional<std::int64_t> filesDueAt_, partialSince_;
  std::int64_t lastScan_ = 0, lastPoll_ = 0;
  std::string sound_;  // the file playing
};

DWORD Engine::run(const std::function<void()>& running) {
  wake_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!wake_) return GetLastError();
  change_.reset(FindFirstChangeNotificationA(
      options_.folder.c_str(), FALSE,
      FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE));
  sender_ = makeMailSender();
  mail_ = std::make_unique<MailWorker>(*sender_, wake_.get());

  readFiles(clockNow());
  if (running) running();
  for (;;) {
    act();
    ended_.clear();
    Moment now = clockNow();
    HANDLE handles[4] = {stop_, wake_.get()};
    DWORD count = 2, changeAt = MAXDWORD, dutyAt = MAXDWORD;
    if (change_) handles[changeAt = count++] = change_.get();
    if (duty_.waitable()) handles[dutyAt = count++] = duty_.waitable();

    const DWORD result = WaitForMultipleObjects(count, handles, FALSE, timeout(now.ms));
    if (result == WAIT_FAILED) return GetLastError();
    if (result == WAIT_OBJECT_0) return NO_ERROR;
    now = clockNow();
    if (result != WAIT_TIMEOUT) {
      const DWORD index = result >= WAIT_ABANDONED_0 ? result - WAIT_ABANDONED_0 : result - WAIT_OBJECT_0;
      if (index == 1) {
        collectEnded(now);
      } else if (index == changeAt) {
        FindNextChangeNotification(change_.get());
        filesDueAt_ = now.ms + kSettleMs;
      } else if (index == dutyAt) {
        takeOverDuty(now);
      }
    }
    if (!change_ && !filesDueAt_) filesDueAt_ = now.ms + kUnwatchedFolderMs;
    if (filesDueAt_ && now.ms >= *filesDueAt_) readFiles(now);
    if (programUnwatched() && now.ms >= lastScan_ + kScanMs) scanProcesses(now);
    if (hasServices() && now.ms >= lastPoll_ + kServicePollMs) pollServices(now);
  }
}

// Reads both files when they changed. A file caught in the middle of a
// rewrite (the utility truncates and writes in place) is read again shortly;
// until then the previous contents stay in force.
void Engine::readFiles(const Moment& now) {
  const std::string itemPath = formats::itemFilePath(options_.folder);
  const std::string settingsPath = formats::settingsFilePath(options_.folder);
  const auto items = readBytes(itemPath);
  const auto settings = readBytes(settingsPath);
  const bool whole =
      (!items || looksWhole(*items, 1)) && (!settings || looksWhole(*settings, formats::kSettingsSlots));
  if (!whole) {
    if (!partialSince_) partialSince_ = now.ms;
    if (now.ms - *partialSince_ < kPartialLimitMs) {
      filesDueAt_ = now.ms + kSettleMs;
      return;
    }
  }
  formats::Settings newSettings;
  formats::ItemTable table;
  try {
    if (settings) newSettings = formats::readSettings(settingsPath);
    if (items) formats::readItemFile(itemPath, table);
  } catch (const base::Error&) {
    filesDueAt_ = now.ms + kSettleMs;
    return;
  }
  partialSince_.reset();
  filesDueAt_.reset();
  if (!filesRead_ || settings != settingsBytes_) {
    actions_ = readStopActions(newSettings);
    settingsBytes_ = settings;
  }
  if (!filesRead_ || items != itemBytes_) {
    itemBytes_ = items;
    applyItems(table, now,
               filesRead_     ? "processes.ob read again"
               : duty_.held() ? "engine started"
                              : "engine started while another engine has the restart duty");
  }
  filesRead_ = true;
}

// The new list keeps what the engine knows of items that stay (by kind and
// name, letter case ignored); items no longer listed are dropped.
void Engine::applyItems(const formats::ItemTable& table, const Moment& now, const char* why) {
  std::vector<std::unique_ptr<Item>> next;
  for (const auto& line : table.slots) {
    if (!formats::isItemLine(line)) continue;
    const auto fields = formats::splitItem(line);
    if (fields.name.empty()) continue;
    const bool service = formats::isServicePath(fields.path);
    auto same = [&](const std::unique_ptr<Item>& item) {
      return item && item->service == service && base::equalsIgnoringCase(item->name, fields.name);
    };
    if (std::any_of(next.begin(), next.end(), same)) continue;
    auto known = std::find_if(items_.begin(), items_.end(), same);
    if (known != items_.end()) {
      next.push_back(std::move(*known));
      next.back()->path = fields.path;
    } else {
      next.push_back(std::make_unique<Item>(std::string(fields.name), std::string(fields.path), service));
    }
  }
  items_ = std::move(next);
  noteWatching(now, why);
  scanProcesses(now);
  pollServices(now);
}

// A log line for each new list: the administrator sees a changed file taken.
// An engine without the duty writes only its start.
void Engine::noteWatching(const Moment& now, const char* why) {
  if (!actions_.log) return;
  const std::size_t n = items_.size();
  std::string line =
      now.stamp + " - " + why + ": watching " + std::to_string(n) + (n == 1 ? " item" : " items");
  if (duty_.held())
    log_.push_back(std::move(line));
  else if (!filesRead_)
    appendLines(file(kLogFileName), {line});
}

// The engine that held the duty has ended: start afresh, as that engine's
// decisions are not known here.
void Engine::takeOverDuty(const Moment& now) {
  duty_.taken();
  noteWatching(now, "restart duty taken over");
  for (auto& item : items_) {
    item->policy = ItemPolicy(item->name);
    if (!item->watches.empty()) item->policy.observe(true, now, actions_, log_);
  }
  scanProcesses(now);
  pollServices(now);
}

void Engine::collectEnded(const Moment& now) {
  for (auto& item : items_) {
    auto& watches = item->watches;
    if (watches.empty()) continue;
    // Ended waits are unregistered after the restart: that waits for the pool.
    const auto ended = std::partition(watches.begin(), watches.end(), [](const auto& w) {
      return WaitForSingleObject(w->process.get(), 0) != WAIT_OBJECT_0;
    });
    std::move(ended, watches.end(), std::back_inserter(ended_));
    watches.erase(ended, watches.end());
    if (watches.empty()) item->policy.observe(false, now, actions_, log_);
  }
}

// One walk of the process list for every program item without a process
// waited on: its running instances are waited on from now, an item without
// one has stopped.
void Engine::scanProcesses(const Moment& now) {
  lastScan_ = now.ms;
  std::vector<Item*> wanted;
  std::vector<std::string> names;
  for (auto& item : items_) {
    if (item->service || !item->watches.empty()) continue;
    wanted.push_back(item.get());
    names.push_back(base::upperCase(item->name));
  }
  if (wanted.empty()) return;
  std::vector<char> seen(wanted.size(), false);
  const bool walked = win::forEachProcess([&](const PROCESSENTRY32& entry) {
    const std::string image = base::upperCase(entry.szExeFile);
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      if (names[i] != image) continue;
      win::unique_handle process(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
      // A process that has just ended may still be listed.
      if (process && WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) continue;
      seen[i] = true;
      watch(*wanted[i], std::move(process));
    }
    return true;
  });
  if (!walked) return;
  for (std::size_t i = 0; i < wanted.size(); ++i) wanted[i]->policy.observe(seen[i], now, actions_, log_);
}

void Engine::pollServices(const Moment& now) {
  lastPoll_ = now.ms;
  if (!hasServices()) return;
  const auto listing = win::listServices();
  if (!listing.listed) return;
  for (auto& item : items_) {
    if (!item->service) continue;
    const auto* entry = win::findService(listing.services, item->name);
    item->policy.observe(entry && serviceCountsAsRunning(entry->currentState), now, actions_, log_);
  }
}

// Waits on one more instance of the item. False when it cannot be waited
// on: the walks keep finding it then.
bool Engine::watch(Item& item, win::unique_handle process) {
  if (!process) return false;
  auto w = std::make_unique<Watch>();
  if (!RegisterWaitForSingleObject(w->wait.put(), process.get(), processEnded, wake_.get(), INFINITE,
                                   WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD))
    return false;
  w->process = std::move(process);
  item.watches.push_back(std::move(w));
  return true;
}

// Carries out what is due. An engine without the duty only keeps the sound.
void Engine::act() {
  if (duty_.held()) {
    const Moment now = clockNow();
    for (auto& item : items_) {
      if (item->policy.restartDue(now.ms, actions_)) restart(*item);
      if (auto mail = item->policy.mailDue(now, actions_)) mail_->post(std::move(*mail));
    }
    for (const auto& outcome : mail_->takeOutcomes())
      if (actions_.log) log_.push_back(mailLogLine(outcome.request, outcome.failure, clockNow()));
    if (!log_.empty()) appendLines(file(kLogFileName), log_);
  }
  log_.clear();

  const bool anyStopped =
      std::any_of(items_.begin(), items_.end(), [](const auto& i) { return i->policy.stopped(); });
  playSound(options_.playsSound && actions_.playSound && anyStopped ? actions_.soundFile : std::string());
}

void Engine::restart(Item& item) {
  if (item.service) {
    const auto failure = startServiceItem(item.name);
    item.policy.restarted(failure, clockNow(), actions_, log_);
    return;
  }
  auto started = startProgramItem(item.path);
  item.policy.restarted(started.failure, clockNow(), actions_, log_);
  if (!started.failure) watch(item, std::move(started.process));
}

// Plays `file` in a loop; the empty text stops it.
void Engine::playSound(const std::string& file) {
  if (file == sound_) return;
  sound_ = file;
  if (file.empty())
    PlaySoundA(nullptr, nullptr, 0);
  else
    PlaySoundA(file.c_str(), nullptr, SND_ASYNC | SND_LOOP | SND_FILENAME | SND_NODEFAULT);
}

bool Engine::programUnwatched() const {
  return std::any_of(items_.begin(), items_.end(),
                     [](const auto& i) { return !i->service && i->watches.empty(); });
}

bool Engine::hasServices() const {
  return std::any_of(items_.begin(), items_.end(), [](const auto& i) { return i->service; });
}

DWORD Engine::timeout(std::int64_t now) const {
  std::optional<std::int64_t> next = filesDueAt_;
  auto consider = [&](std::optional<std::int64_t> at) {
    if (at && (!next || *at < *next)) next = at;
  };
  if (programUnwatched()) consider(lastScan_ + kScanMs);
  if (hasServices()) consider(lastPoll_ + kServicePollMs);
  if (duty_.held())
    for (const auto& item : items_) consider(item->policy.nextDue(actions_));
  if (!next) return INFINITE;
  return static_cast<DWORD>(std::clamp<std::int64_t>(*next - now, 0, std::int64_t{24} * 3600 * 1000));
}

}  // namespace

DWORD runEngine(HANDLE stop, const EngineOptions& options, const std::function<void()>& running) {
  Engine engine(stop, options);
  return engine.run(running);
}

}  // namespace monitor
