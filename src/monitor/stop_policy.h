#pragma once
// What the engine does when a monitored item stops, decided without touching
// the system: the stop actions as settings.ob holds them, and one state
// machine per item that is told what the engine saw, at what time, and
// answers with log lines, restarts and e-mails that are due. The clock is the
// caller's, so every rule is tested with made-up times.
//
// The rules:
// - A stopped item is restarted after the restart delay, counted from the
//   stop; a changed delay, or restarting turned on during the stop, counts
//   from the stop too.
// - An item that stops less than 60 s after the engine restarted it, having
//   run since, (or whose restart failed) has made a quick stop: its restart waits the
//   delay plus a pause that starts at 5 s and doubles with each further quick
//   stop, up to 10 minutes. Ten minutes of running clear the pause.
// - The first e-mail about a stop goes out at once; while the item stays
//   stopped it is repeated every repeat interval, when repeating is on. The
//   interval counts from the outcome of the last e-mail about the item (sent
//   or failed), and none is due while one is with the sender, so a slow or
//   silent server never makes e-mails pile up. A stop within the interval is
//   reported once it is over, unless the item was found running again before
//   (a second instance, a start by hand); the engine's own restart does not
//   cancel it, so a crash loop sends one e-mail per interval. E-mail turned on
//   during a stop reports it.
// - A restart handed to the system is under way until its outcome is told:
//   meanwhile nothing more is restarted and what the engine sees of the item
//   is passed over, as the engine's own start is under way.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/settings_file.h"
#include "monitor/engine_event.h"
#include "monitor/mail_request.h"

namespace monitor {

inline constexpr long kDefaultRestartSeconds = 10;
inline constexpr long kDefaultRepeatMinutes = 60;
inline constexpr long kDefaultSmtpPort = 25;
inline constexpr std::int64_t kQuickStopMs = 60'000;
inline constexpr std::int64_t kFirstPauseMs = 5'000;
inline constexpr std::int64_t kLongestPauseMs = 600'000;
inline constexpr std::int64_t kCleanRunMs = 600'000;

// A moment of the engine's clock: milliseconds of a steady clock, and the
// local date and time as the log and the e-mail show it.
struct Moment {
  std::int64_t ms = 0;
  std::string stamp;  // "2026-12-06 14:03:59"
  std::int64_t unixSeconds = 0;

  EngineEvent event(EventId id, std::string item, std::string text) const {
    return {id, std::move(item), stamp, unixSeconds, std::move(text)};
  }
};

// The stop actions. A check-box line is on when it reads as the number 1
// (" 1 " or "1"). A line that is no number at all, such as the single blank
// of a new file, leaves the restart box as the utility shows it then:
// checked; the other boxes off. An empty, non-numeric or out-of-range number
// line takes its default: 10 s restart delay, 60 minutes repeat interval,
// port 25.
struct StopActions {
  bool restart = true;
  std::int64_t restartDelayMs = std::int64_t{kDefaultRestartSeconds} * 1000;
  bool log = false;
  bool sendEmail = false;
  bool repeatEmail = false;
  std::int64_t repeatMs = std::int64_t{kDefaultRepeatMinutes} * 60'000;
  bool playSound = false;
  std::string soundFile;
  MailRequest mail;  // server, sender, recipients, subject; the body as stored
};

StopActions readStopActions(const formats::Settings& settings);

// The e-mail body from its stored form: "%20" becomes CR LF, "%time%" the
// stop time, "%process%" the item's name and "%reason%" why it was reported
// ("stopped", "not responding", "over its memory limit", ...).
std::string fillBody(std::string_view stored, std::string_view item, std::string_view stopTime,
                     std::string_view reason);

// True when a data file's bytes look whole rather than caught in the middle of
// a rewrite: not empty, ending with a line break, and holding at least
// `fullLines` lines unless they are just the single blank line that a first
// start writes.
bool looksWhole(std::string_view bytes, std::size_t fullLines);

// The event of a sent or failed e-mail.
EngineEvent mailEvent(const MailRequest& mail, const std::optional<std::string>& failure, const Moment& now);

class ItemPolicy {
 public:
  ItemPolicy(std::string name, bool service) : name_(std::move(name)), service_(service) {}

  const std::string& name() const { return name_; }
  bool stopped() const { return state_ == State::Stopped; }
  // Whether it runs has been seen (or its restart told) at least once.
  bool known() const { return state_ != State::Unknown; }
  // The engine has ended the item and waits to see it stop.
  bool beingEnded() const { return endingLine_.has_value(); }
  // The pause after quick stops that the restart now waiting adds: 0 while
  // the item runs, and after a stop that was not quick.
  std::int64_t pauseInForceMs() const {
    return state_ == State::Stopped && restartFrom_ && quickPause_ ? pauseMs_ : 0;
  }

  // What the engine saw of the item at `now`. A stop (or an item not running
  // when first seen) schedules its restart and e-mail and adds its event to
  // `log`. The times due follow the stop actions in
  // force when they are asked for, so new settings reach a stopped item.
  void observe(bool running, const Moment& now, const StopActions& actions, Events& log);

  // The engine ends the item's processes: the stop that follows is logged as
  // `line` ("hang.exe not responding for 5 s: ended") instead of "stopped",
  // and e-mailed with `reason`. Seeing the item running again drops it.
  void ending(std::string line, std::string_view reason);
  // A limit is exceeded and only an alert is asked for: `line` is logged and
  // an e-mail with `reason` is due, by the rules of the stop e-mails.
  void alert(const Moment& now, const StopActions& actions, const std::string& line, std::string_view reason,
             Events& log);

  // True when the restart is due at `now`.
  bool restartDue(std::int64_t now, const StopActions& actions) const;
  // The restart has been handed to the system; restarted() tells its outcome.
  void restartBegun() { restarting_ = true; }
  bool restarting() const { return restarting_; }
  // The outcome of the restart made by the engine `by` ("program" or
  // "service"): nothing when it started, else the reason.
  void restarted(const std::optional<std::string>& failure, const Moment& now, const StopActions& actions,
                 std::string_view by, Events& log);

  // The e-mail due at `now`, if any; it is with the sender from here on,
  // until mailFinished().
  std::optional<MailRequest> mailDue(const Moment& now, const StopActions& actions);
  // The sender is done with the item's e-mail (sent or failed) at `now`: the
  // next one counts its interval from here.
  void mailFinished(std::int64_t now);

  // When the restart, the e-mail, or either is due next, if at all.
  std::optional<std::int64_t> restartAt(const StopActions& actions) const;
  std::optional<std::int64_t> mailDueAt(const StopActions& actions) const;
  std::optional<std::int64_t> nextDue(const StopActions& actions) const;

 private:
  enum class State { Unknown, Running, Stopped };

  void scheduleRestart(bool quick, std::int64_t now);
  std::optional<std::int64_t> mailAt(const StopActions& actions) const;
  std::optional<std::int64_t> repeatAt(const StopActions& actions) const;
  std::string pauseText(const StopActions& actions) const;
  EngineEvent event(const Moment& now, EventId id, std::string text) const;

  std::string name_;
  bool service_;
  State state_ = State::Unknown;
  std::int64_t runningSince_ = 0;
  std::optional<std::int64_t> restartedAt_;  // the engine's last successful restart
  std::int64_t pauseMs_ = 0;
  bool quickPause_ = false;                  // the next restart carries the pause
  std::optional<std::int64_t> restartFrom_;  // the stop, or the failed restart
  bool restarting_ = false;                  // a restart is under way
  std::string stopStamp_;                    // when the current stop began
  std::string stopReason_;                   // why, for the e-mail
  std::optional<std::string> endingLine_;    // the engine is ending the item: its stop line
  std::string endingReason_;

  std::optional<Moment> unreported_;  // the first stop (or alert) not yet reported
  std::string unreportedReason_;
  std::optional<std::int64_t> lastMailAt_;  // the outcome of the last e-mail
  bool mailOut_ = false;                    // an e-mail is with the sender
  bool mailedThisStop_ = false;             // repeats follow while the item stays stopped
};

}  // namespace monitor
