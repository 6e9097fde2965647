#include "monitor/engine.h"

#include <mmsystem.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "monitor/data_files.h"
#include "monitor/duty_lock.h"
#include "monitor/engine_log.h"
#include "monitor/item_control.h"
#include "monitor/item_watch.h"
#include "monitor/mail_sender.h"
#include "monitor/mail_worker.h"
#include "monitor/stop_policy.h"
#include "monitor/watch_policy.h"

namespace monitor {
namespace {

// How often the process list is walked while a program item has no
// process being waited on (it is stopped, or its processes could not be
// opened).
constexpr std::int64_t kScanMs = 500;
// How often the service states are read while there are service items.
constexpr std::int64_t kServicePollMs = 1000;
// How often the other kind's engine is looked for while it does not run and
// there are items it would take.
constexpr std::int64_t kProbeMs = 1000;
// How long a failed wait rests before the next.
constexpr DWORD kFailedWaitRestMs = 1000;

std::string watching(std::size_t n) {
  return "watching " + std::to_string(n) + (n == 1 ? " item" : " items");
}

class Engine {
 public:
  Engine(HANDLE stop, const EngineOptions& options)
      : stop_(stop),
        options_(options),
        duty_(options.folder, options.kind),
        files_(options.folder),
        log_(options.folder + "\\log.text") {}
  ~Engine() { playSound({}); }
  DWORD run(const std::function<void()>& running);

 private:
  const char* kind() const { return kindName(options_.kind); }
  bool active() const { return duty_.view().alone || duty_.view().ownHeld; }
  bool actsFor(const Item& item) const { return monitor::actsFor(options_.kind, duty_.view(), item.service); }
  std::string otherEngine() const {
    return options_.kind == EngineKind::Program ? "engine service" : "engine program";
  }
  bool isOtherKind(const Item& item) const { return item.service == (options_.kind == EngineKind::Program); }
  bool probes() const;
  void note(const Moment& now, const std::string& text);
  void fault(FaultNote& fault, DWORD error, const Moment& now);
  void observe(Item& item, bool running, const Moment& now);
  void readFiles(const Moment& now);
  void dutyChanged(const Moment& now, const std::string& why, bool everything);
  void lookAround(const Moment& now);
  void scan(const Moment& now);
  void poll(const Moment& now);
  void act();
  void restart(Item& item);
  void playSound(const std::string& file);
  DWORD timeout(std::int64_t now) const;

  HANDLE stop_;
  EngineOptions options_;
  DutyLocks duty_;
  DataFiles files_;
  EngineLog log_;
  win::unique_handle wake_;  // a process ended, or an e-mail went out
  std::unique_ptr<MailSender> sender_;
  std::unique_ptr<MailWorker> mail_;
  Items items_;                                // after wake_: their waits go first
  std::vector<std::unique_ptr<Watch>> ended_;  // waits whose process ended, dropped after act()
  StopActions actions_;
  bool started_ = false;  // the first list has been taken
  std::int64_t lastScan_ = 0, lastPoll_ = 0, lastProbe_ = 0;
  FaultNote processFault_{"the process list", "had",
                          "program items are not checked until it can; trying again"};
  FaultNote serviceFault_{"the service list", "had",
                          "service items are not checked until it can; trying again"};
  FaultNote waitFault_{"the engine's wait", "made", "trying again every second"};
  std::string sound_;  // the file playing
};

DWORD Engine::run(const std::function<void()>& running) {
  wake_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!wake_) return GetLastError();
  sender_ = makeMailSender();
  mail_ = std::make_unique<MailWorker>(*sender_, wake_.get());

  readFiles(clockNow());
  if (running) running();
  for (;;) {
    act();
    ended_.clear();
    Moment now = clockNow();
    HANDLE handles[5] = {stop_, wake_.get()};
    DWORD count = 2;
    const HANDLE candidates[] = {files_.changeHandle(), duty_.ownWaitable(), duty_.otherWaitable()};
    for (HANDLE h : candidates)
      if (h) handles[count++] = h;

    const DWORD result = WaitForMultipleObjects(count, handles, FALSE, timeout(now.ms));
    const DWORD error = result == WAIT_FAILED ? GetLastError() : NO_ERROR;
    if (result == WAIT_OBJECT_0) return NO_ERROR;
    now = clockNow();
    fault(waitFault_, error, now);
    if (error != NO_ERROR) {
      // Rests, then carries on with what is due as after a time-out.
      log_.write();
      if (WaitForSingleObject(stop_, kFailedWaitRestMs) == WAIT_OBJECT_0) return NO_ERROR;
      now = clockNow();
    }
    const bool some = result != WAIT_TIMEOUT && error == NO_ERROR;
    const DWORD index = result >= WAIT_ABANDONED_0 ? result - WAIT_ABANDONED_0 : result - WAIT_OBJECT_0;
    const HANDLE signalled = some ? handles[index] : nullptr;
    if (signalled == wake_.get()) {
      // The last instance waited on has ended: a walk first, as another may run.
      if (!takeEnded(items_, ended_).empty()) scan(now);
    } else if (signalled && signalled == files_.changeHandle()) {
      files_.folderChanged(now.ms);
    } else if (signalled && signalled == duty_.ownWaitable()) {
      duty_.ownTaken();
      duty_.probeOther();
      dutyChanged(now, "restart duty taken over", true);
    } else if (signalled && signalled == duty_.otherWaitable()) {
      duty_.otherEnded();
      dutyChanged(now, otherEngine() + " not running", false);
    }
    if (files_.due() && now.ms >= *files_.due()) readFiles(now);
    lookAround(now);
  }
}

bool Engine::probes() const {
  const auto& view = duty_.view();
  return view.ownHeld && !view.alone && !view.otherRuns &&
         std::any_of(items_.begin(), items_.end(), [&](const auto& i) { return isOtherKind(*i); });
}

// An engine-wide line: written by an engine that acts, when logging is on.
void Engine::note(const Moment& now, const std::string& text) {
  if (actions_.log && active()) log_.add(now, text);
}

void Engine::fault(FaultNote& fault, DWORD error, const Moment& now) {
  if (auto line = fault.update(error == NO_ERROR ? std::nullopt : std::optional(failureText(error))))
    note(now, *line);
}

// What the engine saw of an item; its lines are heard only from the engine
// that acts for it.
void Engine::observe(Item& item, bool running, const Moment& now) {
  std::vector<std::string> unheard;
  item.policy.observe(running, now, actions_, actsFor(item) ? log_.pending() : unheard);
}

void Engine::readFiles(const Moment& now) {
  auto update = files_.read(now.ms);
  if (update.settings) actions_ = readStopActions(*update.settings);
  for (const auto& line : update.notes) note(now, line);
  if (!update.items) return;
  items_ = mergeItems(items_, *update.items);
  lastProbe_ = 0;  // items of the other kind may be new: look for that engine at once
  const std::string tag = std::string(" (") + kind() + "): ";
  if (started_) {
    note(now, "processes.ob read again" + tag + watching(items_.size()));
  } else if (actions_.log) {
    // Every engine writes its start, also one that waits for the duty.
    if (!duty_.failure().empty()) log_.add(now, duty_.failure() + "; this engine acts alone");
    log_.add(now,
             "engine started" + tag + watching(items_.size()) + "; " + dutyText(options_.kind, duty_.view()));
  }
  started_ = true;
  scan(now);
  poll(now);
}

// The engine acts for other items than before: those it takes are seen
// afresh, as the decisions of the engine that had them are not known here.
void Engine::dutyChanged(const Moment& now, const std::string& why, bool everything) {
  note(now, why + " (" + kind() + "): " + (everything ? watching(items_.size()) + "; " : "") +
                dutyText(options_.kind, duty_.view()));
  for (auto& item : items_) {
    if (!(everything || isOtherKind(*item)) || !actsFor(*item)) continue;
    item->policy = ItemPolicy(item->name);
    if (!item->watches.empty()) observe(*item, true, now);
  }
  scan(now);
  poll(now);
}

// The checks that are due: the other kind's engine, the process walk, the
// service states.
void Engine::lookAround(const Moment& now) {
  if (probes() && now.ms >= lastProbe_ + kProbeMs) {
    lastProbe_ = now.ms;
    if (duty_.probeOther()) dutyChanged(now, otherEngine() + " running", false);
  }
  if (std::any_of(items_.begin(), items_.end(), [](const auto& i) { return unwatchedProgram(*i); }) &&
      now.ms >= lastScan_ + kScanMs)
    scan(now);
  if (std::any_of(items_.begin(), items_.end(), [](const auto& i) { return i->service; }) &&
      now.ms >= lastPoll_ + kServicePollMs)
    poll(now);
}

void Engine::scan(const Moment& now) {
  lastScan_ = now.ms;
  fault(processFault_,
        walkProcesses(items_, wake_.get(), [&](Item& item, bool running) { observe(item, running, now); }),
        now);
}

void Engine::poll(const Moment& now) {
  lastPoll_ = now.ms;
  fault(serviceFault_, pollServices(items_, [&](Item& item, bool running) { observe(item, running, now); }),
        now);
}

// Carries out what is due for the items the engine acts for.
void Engine::act() {
  const Moment now = clockNow();
  for (auto& item : items_) {
    if (!actsFor(*item)) continue;
    if (item->policy.restartDue(now.ms, actions_)) restart(*item);
    if (auto mail = item->policy.mailDue(now, actions_)) mail_->post(std::move(*mail));
  }
  for (const auto& outcome : mail_->takeOutcomes())
    if (actions_.log) log_.pending().push_back(mailLogLine(outcome.request, outcome.failure, clockNow()));
  log_.write();

  const bool anyStopped =
      std::any_of(items_.begin(), items_.end(), [](const auto& i) { return i->policy.stopped(); });
  const bool sound = options_.kind == EngineKind::Program && actions_.playSound && anyStopped;
  playSound(sound ? actions_.soundFile : std::string());
}

void Engine::restart(Item& item) {
  if (item.service) {
    const auto failure = startServiceItem(item.name);
    item.policy.restarted(failure, clockNow(), actions_, kind(), log_.pending());
    return;
  }
  auto started = startProgramItem(item.path);
  item.policy.restarted(started.failure, clockNow(), actions_, kind(), log_.pending());
  if (!started.failure) watchProcess(item, std::move(started.process), wake_.get());
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

DWORD Engine::timeout(std::int64_t now) const {
  std::optional<std::int64_t> next = files_.due();
  auto consider = [&](std::optional<std::int64_t> at) {
    if (at && (!next || *at < *next)) next = at;
  };
  for (const auto& item : items_) {
    if (unwatchedProgram(*item)) consider(lastScan_ + kScanMs);
    if (item->service) consider(lastPoll_ + kServicePollMs);
    if (actsFor(*item)) consider(item->policy.nextDue(actions_));
  }
  if (probes()) consider(lastProbe_ + kProbeMs);
  if (!next) return INFINITE;
  return static_cast<DWORD>(std::clamp<std::int64_t>(*next - now, 0, std::int64_t{24} * 3600 * 1000));
}

}  // namespace

DWORD runEngine(HANDLE stop, const EngineOptions& options, const std::function<void()>& running) {
  Engine engine(stop, options);
  return engine.run(running);
}

}  // namespace monitor
