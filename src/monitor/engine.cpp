#include "monitor/engine.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "monitor/data_files.h"
#include "monitor/duty_lock.h"
#include "monitor/engine_log.h"
#include "monitor/engine_mail.h"
#include "monitor/engine_wait.h"
#include "monitor/item_calls.h"
#include "monitor/item_control.h"
#include "monitor/item_limits.h"
#include "monitor/item_watch.h"
#include "monitor/mail_sender.h"
#include "monitor/metrics_file.h"
#include "monitor/sound_loop.h"
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
// there are items it would take, and the locks tried while the engine acts
// alone.
constexpr std::int64_t kProbeMs = 1000;
// How long a failed wait rests before the next.
constexpr DWORD kFailedWaitRestMs = 1000;
// How often an engine that was told Windows is ending looks whether it still is.
constexpr std::int64_t kEndingCheckMs = 1000;
// How long an ending engine waits for the e-mail under way: the longest
// session, or a moment while Windows ends.
constexpr DWORD kLastMailMs = 62'000, kLastMailEndingMs = 3'000;
// How long the service leaves the program items alone after the engine
// program ended with the user's session: Windows is closing those programs.
// Should nobody log on again, the service restarts them after it.
constexpr std::int64_t kSessionEndHoldMs = 60'000;
// One turn of the engine (from waking up to waiting again) this long is logged.
constexpr std::int64_t kHeldUpMs = 2'000;

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
        log_(options.folder + "\\log.text", kindName(options.kind)),
        wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
        wakeError_(wake_ ? NO_ERROR : GetLastError()),
        calls_(wake_.get()),
        mail_(wake_.get(), makeMailSender()),
        limits_(options.kind) {}
  DWORD run(const std::function<void()>& running);
  DWORD finish();  // once; run() returns after it

 private:
  const char* kind() const { return kindName(options_.kind); }
  bool active() const { return duty_.view().alone || duty_.view().ownHeld; }
  bool actsFor(const Item& item) const { return monitor::actsFor(options_.kind, duty_.view(), item.service); }
  std::string otherEngine() const {
    return options_.kind == EngineKind::Program ? "engine service" : "engine program";
  }
  bool isOtherKind(const Item& item) const { return item.service == (options_.kind == EngineKind::Program); }
  bool probes() const;
  MailQueue::Policies mailed();
  void note(const Moment& now, const std::string& text, EventId id = EventId::EngineNote);
  void fault(FaultNote& fault, DWORD error, const Moment& now);
  void observe(Item& item, bool running, const Moment& now);
  void readFiles(const Moment& now);
  // `takes`: the engine takes items over from another one (reported as such to the Event Log).
  void dutyChanged(const Moment& now, const std::string& why, bool everything, bool takes = false);
  void endingChanged(const Moment& now);
  void lookAround(const Moment& now);
  void scan(const Moment& now);
  void poll(const Moment& now);
  void collect(const Moment& now);
  void act();
  void flush();
  DWORD timeout(std::int64_t now);

  HANDLE stop_;
  EngineOptions options_;
  DutyLocks duty_;
  DataFiles files_;
  EngineLog log_;
  MetricsFile metrics_{options_.kind};
  win::unique_handle wake_;  // a process ended, a start or an e-mail has its outcome
  DWORD wakeError_;          // why wake_ could not be made, read before later calls overwrite it
  ItemCalls calls_;
  EngineMail mail_;
  Items items_;                                // after wake_: their waits go first
  std::vector<std::unique_ptr<Watch>> ended_;  // waits whose process ended, dropped after act()
  win::ProcessTable processes_;
  StopActions actions_;
  ItemLimits limits_;                                         // the checks of monitor.ini
  bool started_ = false;                                      // the first list has been taken
  bool aloneUnlogged_ = true;                                 // why it acts alone is still to be logged
  bool ending_ = false;                                       // Windows is ending: nothing is started
  bool finished_ = false;                                     // the engine has ended
  std::int64_t lastScan_ = 0, lastPoll_ = 0, lastProbe_ = 0;  // when each was last done or asked for
  std::int64_t programsHeldUntil_ = 0;                        // see kSessionEndHoldMs
  FaultNote processFault_{"the process list", "had",
                          "program items are not checked until it can; trying again"};
  FaultNote serviceFault_{"the service list", "had",
                          "service items are not checked until it can; trying again"};
  FaultNote waitFault_{"the engine's wait", "made", "trying again every second"};
  SoundLoop sound_;
};

DWORD Engine::run(const std::function<void()>& running) {
  if (!wake_) return wakeError_;

  readFiles(clockNow());
  if (running) running();
  std::optional<std::int64_t> wokeAt;
  for (;;) {
    act();
    ended_.clear();
    Moment now = clockNow();
    // Nothing here waits on another process; should a call still hold the engine up, the log says so.
    if (wokeAt && now.ms - *wokeAt >= kHeldUpMs)
      note(now, "the engine was held up for " + std::to_string((now.ms - *wokeAt) / 1000) +
                    " s: what fell due meanwhile came late");
    std::vector<HANDLE> events{stop_, wake_.get()};
    for (HANDLE h : {files_.changeHandle(), duty_.ownWaitable(), duty_.otherWaitable(),
                     ending_ ? nullptr : options_.ending})
      if (h) events.push_back(h);

    const WaitOutcome waited = waitForEvents(events, items_, timeout(now.ms), options_.finishNow != nullptr);
    if (waited.signalled == stop_ || finished_) return finish();
    now = clockNow();
    wokeAt = now.ms;
    fault(waitFault_, waited.error, now);
    const bool failed = waited.error != NO_ERROR;
    if (failed) {
      // Rests, then carries on as if the wake event and the folder's watch
      // had been signalled: which one was is not known.
      flush();
      if (WaitForSingleObject(stop_, kFailedWaitRestMs) == WAIT_OBJECT_0) return finish();
      now = clockNow();
    }
    const HANDLE signalled = waited.signalled;
    if (failed || signalled == wake_.get()) {
      collect(now);
      // The last instance waited on has ended: a walk first, as another may run.
      if (!takeEnded(items_, ended_).empty() && !ending_) scan(now);
    }
    if (failed ? files_.changeHandle() != nullptr : signalled && signalled == files_.changeHandle()) {
      files_.folderChanged(now.ms);
    } else if (signalled && signalled == duty_.ownWaitable()) {
      duty_.ownTaken();
      duty_.probeOther();
      dutyChanged(now, "restart duty taken over", true);
    } else if (signalled && signalled == duty_.otherWaitable()) {
      duty_.otherEnded();
      if (duty_.view().programsHeld) {
        programsHeldUntil_ = now.ms + kSessionEndHoldMs;
        note(now, "engine program ended with the user's session (service): programs are not restarted for " +
                      std::to_string(kSessionEndHoldMs / 1000) + " s unless one runs again");
      } else {
        dutyChanged(now, otherEngine() + " not running", false, true);
      }
    }
    if (options_.ending && ending_ != (WaitForSingleObject(options_.ending, 0) == WAIT_OBJECT_0))
      endingChanged(now);
    if (files_.due() && now.ms >= *files_.due()) readFiles(now);
    if (!ending_) lookAround(now);
  }
}

bool Engine::probes() const {
  const auto& view = duty_.view();
  return view.ownHeld && !view.alone && !view.otherRuns &&
         std::any_of(items_.begin(), items_.end(), [&](const auto& i) { return isOtherKind(*i); });
}

// The items whose e-mails this engine sends.
MailQueue::Policies Engine::mailed() {
  MailQueue::Policies policies;
  for (auto& item : items_)
    if (actsFor(*item)) policies.push_back(&item->policy);
  return policies;
}

// An engine-wide event: reported by an engine that acts.
void Engine::note(const Moment& now, const std::string& text, EventId id) {
  if (active()) log_.add(now, text, id);
}

void Engine::fault(FaultNote& fault, DWORD error, const Moment& now) {
  if (auto line = fault.update(error == NO_ERROR ? std::nullopt : std::optional(failureText(error))))
    note(now, *line);
}

// What the engine saw of an item; its lines are heard only from the engine
// that acts for it.
void Engine::observe(Item& item, bool running, const Moment& now) {
  Events unheard;
  item.policy.observe(running, now, actions_, actsFor(item) ? log_.pending() : unheard);
}

void Engine::readFiles(const Moment& now) {
  auto update = files_.read(now.ms);
  if (update.settings) actions_ = readStopActions(*update.settings);
  // Why the engine acts alone: kept for log.text until logging is on.
  if (aloneUnlogged_ && duty_.view().alone) {
    log_.add(now, duty_.failure() + "; this engine acts alone", EventId::EngineNote, true);
    aloneUnlogged_ = false;
  }
  for (const auto& line : update.notes) note(now, line);
  // The file's problems are logged once: by the engine program while it runs.
  const bool problems = options_.kind == EngineKind::Program || !duty_.view().otherRuns;
  const auto limits = [&] {
    for (const auto& line : limits_.configure(items_, update.ini ? &*update.ini : nullptr, problems))
      note(now, line);
  };
  if (update.ini) metrics_.setFolder(update.ini->engineValue("MetricsFolder").value_or(""));
  if (!update.items) {
    if (update.ini) limits();
    return;
  }
  items_ = mergeItems(items_, *update.items);
  lastProbe_ = 0;  // items of the other kind may be new: look for that engine at once
  const std::string tag = std::string(" (") + kind() + "): ";
  if (started_) {
    note(now, "processes.ob read again" + tag + watching(items_.size()));
  } else {
    // Every engine reports its start, also one that waits for the duty.
    log_.add(now,
             "engine started" + tag + watching(items_.size()) + "; " + dutyText(options_.kind, duty_.view()),
             EventId::EngineStarted);
  }
  limits();
  started_ = true;
  if (ending_) return;
  scan(now);
  poll(now);
}

// The engine acts for other items than before: those it takes are seen
// afresh, as the decisions of the engine that had them are not known here
// (a start of its own still under way stays so).
void Engine::dutyChanged(const Moment& now, const std::string& why, bool everything, bool takes) {
  note(now,
       why + " (" + kind() + "): " + (everything ? watching(items_.size()) + "; " : "") +
           dutyText(options_.kind, duty_.view()),
       everything || takes ? EventId::DutyTakenOver : EventId::EngineNote);
  for (auto& item : items_) {
    if (!(everything || isOtherKind(*item)) || !actsFor(*item)) continue;
    const bool restarting = item->policy.restarting();
    item->policy = ItemPolicy(item->name, item->service);
    item->limits.stopped();  // a limit counts from this engine's own samples
    if (restarting) item->policy.restartBegun();
    if (!item->watches.empty()) observe(*item, true, now);
  }
  if (ending_) return;
  scan(now);
  poll(now);
}

// Windows has begun to end (a log-off or shutdown), or the end was called
// off: nothing is started meanwhile, and what stops then is not reported.
void Engine::endingChanged(const Moment& now) {
  ending_ = !ending_;
  // The service must not take over the programs Windows is closing.
  if (options_.kind == EngineKind::Program && active()) duty_.sessionEnding(ending_);
  log_.add(now, ending_ ? "Windows is ending: no more restarts"
                        : "Windows is not ending after all: restarts go on");
  if (ending_) return;
  scan(now);
  poll(now);
}

// The checks that are due: the other kind's engine, the process walk, the
// service states.
void Engine::lookAround(const Moment& now) {
  if (duty_.view().alone && now.ms >= lastProbe_ + kProbeMs) {
    lastProbe_ = now.ms;
    if (duty_.join()) {
      const std::string why = "the locks of this folder can be had now";
      // An engine that joins as the waiting one acts for nothing from now on: it still says so.
      if (!active())
        log_.add(now, why + " (" + kind() + "): " + dutyText(options_.kind, duty_.view()));
      else
        dutyChanged(now, why, false, true);
    }
  }
  if (probes() && now.ms >= lastProbe_ + kProbeMs) {
    lastProbe_ = now.ms;
    if (duty_.probeOther()) dutyChanged(now, otherEngine() + " running", false);
  }
  if (duty_.view().programsHeld && (now.ms >= programsHeldUntil_ || !duty_.sessionEnding())) {
    duty_.releasePrograms();
    dutyChanged(now, "engine program not running after the user's session ended", false, true);
  }
  if (std::any_of(items_.begin(), items_.end(), [](const auto& i) { return unwatchedProgram(*i); }) &&
      now.ms >= lastScan_ + kScanMs)
    scan(now);
  if (std::any_of(items_.begin(), items_.end(), [](const auto& i) { return i->service; }) &&
      now.ms >= lastPoll_ + kServicePollMs)
    poll(now);
  if (const auto due = limits_.dueAt(items_); due && now.ms >= *due)
    limits_.check(items_, now, actions_, log_.pending(), [&](const Item& item) { return actsFor(item); });
}

void Engine::scan(const Moment& now) {
  lastScan_ = now.ms;
  fault(processFault_,
        walkProcesses(items_, processes_, wake_.get(),
                      [&](Item& item, bool running) { observe(item, running, now); }),
        now);
}

// Asks for the service states; they come in with the other outcomes.
void Engine::poll(const Moment& now) {
  if (calls_.listing() ||
      std::none_of(items_.begin(), items_.end(), [](const auto& i) { return i->service; }))
    return;
  lastPoll_ = now.ms;
  calls_.listServices();
}

// The outcomes of the starts, the service listings and the e-mails that have come in.
void Engine::collect(const Moment& now) {
  for (auto& outcome : calls_.takeOutcomes()) {
    if (outcome.kind == ItemCalls::Outcome::Kind::Services) {
      if (ending_) continue;
      const auto seen = [&](Item& item, bool running) { observe(item, running, now); };
      fault(serviceFault_, applyServices(items_, outcome.services, lastPoll_, seen), now);
      continue;
    }
    const auto item =
        std::find_if(items_.begin(), items_.end(), [&](const auto& i) { return i->id == outcome.item; });
    if (item == items_.end()) continue;  // dropped from the list meanwhile; what started runs on
    (*item)->startedAt = now.ms;
    (*item)->policy.restarted(outcome.failure, now, actions_, kind(), log_.pending());
    if (!outcome.failure && outcome.process) watchProcess(**item, std::move(outcome.process), wake_.get());
  }
  mail_.collect(mailed(), now, log_.pending());
}

// Carries out what is due for the items the engine acts for: restarts go to
// the pool's threads, one e-mail at a time to the mail thread.
void Engine::act() {
  const Moment now = clockNow();
  if (!ending_) {
    // The other kind's engine may have started since it was last looked for:
    // it is asked right before one of its items is restarted, so that the two
    // never both restart it.
    const auto otherKindDue = [&](const auto& i) {
      return isOtherKind(*i) && actsFor(*i) && i->policy.restartDue(now.ms, actions_);
    };
    if (std::any_of(items_.begin(), items_.end(), otherKindDue) && duty_.probeOther())
      dutyChanged(now, otherEngine() + " running", false);
    for (auto& item : items_) {
      if (!actsFor(*item) || !item->policy.restartDue(now.ms, actions_)) continue;
      item->policy.restartBegun();
      calls_.start(item->id, item->service ? item->name : item->path, item->service);
    }
    mail_.send(mailed(), now, actions_);
  }
  flush();
  if (!active())
    metrics_.disown();
  else if (auto line = metrics_.update(items_, now))
    note(now, *line);

  const bool anyStopped = std::any_of(items_.begin(), items_.end(),
                                      [&](const auto& i) { return actsFor(*i) && i->policy.stopped(); });
  const bool sound = options_.kind == EngineKind::Program && actions_.playSound && anyStopped && !ending_;
  sound_.play(sound ? actions_.soundFile : std::string());
}

// The waiting events go to the Event Log, to log.text when logging is on,
// and into the counters of the metrics.
void Engine::flush() {
  metrics_.count(log_.pending());
  log_.write(actions_.log);
}

DWORD Engine::timeout(std::int64_t now) {
  std::optional<std::int64_t> next = files_.due();
  auto consider = [&](std::optional<std::int64_t> at) {
    if (at && (!next || *at < *next)) next = at;
  };
  if (ending_) {
    consider(now + kEndingCheckMs);
  } else {
    for (const auto& item : items_) {
      if (unwatchedProgram(*item)) consider(lastScan_ + kScanMs);
      if (item->service && !calls_.listing()) consider(lastPoll_ + kServicePollMs);
      if (actsFor(*item)) consider(item->policy.restartAt(actions_));
    }
    consider(mail_.dueAt(mailed(), actions_));
    consider(limits_.dueAt(items_));
    if (probes() || duty_.view().alone) consider(lastProbe_ + kProbeMs);
    if (duty_.view().programsHeld) consider(programsHeldUntil_);
  }
  if (active()) consider(metrics_.dueAt());
  if (!next) return INFINITE;
  return static_cast<DWORD>(std::clamp<std::int64_t>(*next - now, 0, std::int64_t{24} * 3600 * 1000));
}

// The engine is asked to end: the e-mail under way may finish and its
// outcome is logged; each one still waiting is logged as not sent.
DWORD Engine::finish() {
  if (finished_) return NO_ERROR;
  finished_ = true;
  if (options_.ending && !ending_ && WaitForSingleObject(options_.ending, 0) == WAIT_OBJECT_0)
    endingChanged(clockNow());
  mail_.finish(ending_ ? kLastMailEndingMs : kLastMailMs, mailed(), actions_, log_.pending());
  log_.add(clockNow(), std::string("engine ended (") + kind() + ")", EventId::EngineEnded);
  flush();
  metrics_.setFolder({});
  return NO_ERROR;
}

}  // namespace

DWORD runEngine(HANDLE stop, const EngineOptions& options, const std::function<void()>& running) {
  Engine engine(stop, options);
  if (options.finishNow) *options.finishNow = [&engine] { engine.finish(); };
  const DWORD result = engine.run(running);
  if (options.finishNow) *options.finishNow = nullptr;
  return result;
}

}  // namespace monitor
