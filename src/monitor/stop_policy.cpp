#include "monitor/stop_policy.h"

#include <algorithm>
#include <cmath>

#include "base/text.h"

namespace monitor {
namespace {

// A check-box line: on when it reads as 1; `noNumber` when it is no number.
bool flag(const formats::Slot& slot, bool noNumber) {
  const auto n = slot.asNumber();
  return n ? *n == 1 : noNumber;
}

// A number line within [low, high]; `fallback` for any other line.
long numberOr(const formats::Slot& slot, long low, long high, long fallback) {
  if (base::trimBlanks(slot.asText()).empty()) return fallback;
  const auto n = slot.asNumber();
  return n && *n >= low && *n <= high ? *n : fallback;
}

// The repeat interval: minutes, fractions allowed ("0.05" is 3 s), more than
// 0 and at most a week; `fallback` minutes for any other line.
std::int64_t minutesOr(const formats::Slot& slot, std::int64_t fallback) {
  const std::string text = slot.asText();
  if (!base::isNumber(text)) return fallback * 60'000;
  const double minutes = base::leadingNumber(base::trimBlanks(text));
  if (!(minutes > 0 && minutes <= 10'080)) return fallback * 60'000;
  return std::max<std::int64_t>(1'000, std::llround(minutes * 60'000));
}

std::vector<std::string> splitAddresses(std::string_view text) {
  std::vector<std::string> out;
  while (!text.empty()) {
    const auto semicolon = text.find(';');
    const auto address = base::trimBlanks(text.substr(0, semicolon));
    if (!address.empty()) out.emplace_back(address);
    if (semicolon == std::string_view::npos) break;
    text.remove_prefix(semicolon + 1);
  }
  return out;
}

constexpr std::string_view kStopped = "stopped", kNotResponding = "not responding";

}  // namespace

StopActions readStopActions(const formats::Settings& s) {
  StopActions a;
  a.restart = flag(s.restart, true);
  a.restartDelayMs = numberOr(s.restartSeconds, 0, 86'400, kDefaultRestartSeconds) * 1000LL;
  a.log = flag(s.log, false);
  a.sendEmail = flag(s.sendEmail, false);
  a.repeatEmail = flag(s.repeatEmail, false);
  a.repeatMs = minutesOr(s.repeatMinutes, kDefaultRepeatMinutes);
  a.playSound = flag(s.playSound, false);
  a.soundFile = std::string(base::trimBlanks(s.soundFile.asText()));
  a.mail.recipients = splitAddresses(s.emailAddresses.asText());
  a.mail.from = std::string(base::trimBlanks(s.fromAddress.asText()));
  a.mail.server = std::string(base::trimBlanks(s.smtpServer.asText()));
  a.mail.port = numberOr(s.smtpPort, 1, 65'535, kDefaultSmtpPort);
  a.mail.useAuthentication = flag(s.useAuthentication, false);
  a.mail.userName = s.userName.asText();
  a.mail.password = s.password.asText();
  a.mail.subject = s.subject.asText();
  a.mail.body = s.message.asText();
  return a;
}

std::string fillBody(std::string_view stored, std::string_view item, std::string_view stopTime,
                     std::string_view reason) {
  static constexpr std::string_view kTime = "%time%", kProcess = "%process%", kReason = "%reason%";
  const std::string body = formats::decodeBody(stored);
  std::string out;
  out.reserve(body.size());
  for (std::size_t i = 0; i < body.size();) {
    const std::string_view rest = std::string_view(body).substr(i);
    if (rest.starts_with(kTime)) {
      out.append(stopTime);
      i += kTime.size();
    } else if (rest.starts_with(kProcess)) {
      out.append(item);
      i += kProcess.size();
    } else if (rest.starts_with(kReason)) {
      out.append(reason);
      i += kReason.size();
    } else {
      out.push_back(body[i++]);
    }
  }
  return out;
}

bool looksWhole(std::string_view bytes, std::size_t fullLines) {
  if (!bytes.ends_with("\r\n")) return false;
  if (bytes == " \r\n") return true;
  const auto lines = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\r'));
  return lines >= fullLines;
}

EngineEvent mailEvent(const MailRequest& mail, const std::optional<std::string>& failure, const Moment& now) {
  std::string to;
  for (const auto& r : mail.recipients) to.append(to.empty() ? "" : "; ").append(r);
  const std::string about = "e-mail about " + mail.item;
  if (!failure) return now.event(EventId::MailSent, mail.item, about + " sent to " + to);
  return now.event(EventId::MailFailed, mail.item, about + " to " + to + " failed: " + *failure);
}

void ItemPolicy::observe(bool running, const Moment& now, const StopActions& actions, Events& log) {
  if (restarting_) return;
  if (running) {
    endingLine_.reset();
    if (state_ != State::Running) {
      // Found running, not started by the engine: a stop not yet reported is over.
      if (state_ == State::Stopped) unreported_.reset();
      state_ = State::Running;
      runningSince_ = now.ms;
      restartFrom_.reset();
      mailedThisStop_ = false;
    }
    return;
  }
  if (state_ == State::Stopped) return;

  const bool firstSight = state_ == State::Unknown;
  if (!firstSight && now.ms - runningSince_ >= kCleanRunMs) pauseMs_ = 0;
  // Quick only when the run that ended began with the engine's restart.
  const bool quick =
      !firstSight && restartedAt_ && *restartedAt_ == runningSince_ && now.ms - *restartedAt_ < kQuickStopMs;
  state_ = State::Stopped;
  stopStamp_ = now.stamp;
  stopReason_ = endingLine_ ? endingReason_ : std::string(kStopped);
  scheduleRestart(quick, now.ms);
  if (!unreported_) {
    unreported_ = now;
    unreportedReason_ = stopReason_;
  }

  std::string line = endingLine_ ? *endingLine_ : name_ + (firstSight ? " is not running" : " stopped");
  endingLine_.reset();
  if (quick) line += " " + base::wholeSeconds(now.ms - *restartedAt_) + " after its restart";
  if (actions.restart) line += "; restart in " + pauseText(actions);
  const EventId id = stopReason_ == kStopped         ? EventId::ItemStopped
                     : stopReason_ == kNotResponding ? EventId::NotResponding
                                                     : EventId::OverLimit;
  log.push_back(event(now, id, line));
  log.back().stop = true;
}

void ItemPolicy::ending(std::string line, std::string_view reason) {
  endingLine_ = std::move(line);
  endingReason_ = reason;
}

void ItemPolicy::alert(const Moment& now, const StopActions&, const std::string& line,
                       std::string_view reason, Events& log) {
  log.push_back(event(now, EventId::OverLimit, line));
  if (unreported_) return;  // the e-mail due already tells of the item
  unreported_ = now;
  unreportedReason_ = reason;
}

bool ItemPolicy::restartDue(std::int64_t now, const StopActions& actions) const {
  const auto at = restartAt(actions);
  return at && now >= *at;
}

void ItemPolicy::restarted(const std::optional<std::string>& failure, const Moment& now,
                           const StopActions& actions, std::string_view by, Events& log) {
  restarting_ = false;
  if (!failure) {
    state_ = State::Running;
    runningSince_ = now.ms;
    restartedAt_ = now.ms;
    restartFrom_.reset();
    mailedThisStop_ = false;
    // The stop stays to be reported once the interval allows, if anyone is to be told.
    if (!actions.sendEmail) unreported_.reset();
    log.push_back(event(now, EventId::ItemRestarted, name_ + " restarted (" + std::string(by) + ")"));
    return;
  }
  // An item that cannot be started is retried like one that stops at once.
  scheduleRestart(true, now.ms);
  log.push_back(event(now, EventId::RestartFailed,
                      name_ + " restart failed (" + std::string(by) + "): " + *failure + "; next try in " +
                          pauseText(actions)));
}

std::optional<MailRequest> ItemPolicy::mailDue(const Moment& now, const StopActions& actions) {
  if (!actions.sendEmail) {
    if (state_ != State::Stopped) unreported_.reset();
    return std::nullopt;
  }
  std::string stopTime, reason;
  if (const auto at = mailAt(actions); at && now.ms >= *at) {
    stopTime = unreported_->stamp;
    reason = unreportedReason_;
    unreported_.reset();
  } else if (const auto again = repeatAt(actions); again && now.ms >= *again) {
    stopTime = stopStamp_;
    reason = stopReason_;
  } else {
    return std::nullopt;
  }
  mailOut_ = true;
  mailedThisStop_ = state_ == State::Stopped;

  MailRequest mail = actions.mail;
  mail.item = name_;
  mail.body = fillBody(actions.mail.body, name_, stopTime, reason);
  return mail;
}

void ItemPolicy::mailFinished(std::int64_t now) {
  lastMailAt_ = now;
  mailOut_ = false;
}

std::optional<std::int64_t> ItemPolicy::mailDueAt(const StopActions& actions) const {
  const auto first = mailAt(actions), again = repeatAt(actions);
  if (first && again) return std::min(*first, *again);
  return first ? first : again;
}

std::optional<std::int64_t> ItemPolicy::nextDue(const StopActions& actions) const {
  const auto restart = restartAt(actions), mail = mailDueAt(actions);
  if (restart && mail) return std::min(*restart, *mail);
  return restart ? restart : mail;
}

void ItemPolicy::scheduleRestart(bool quick, std::int64_t now) {
  if (quick) pauseMs_ = pauseMs_ ? std::min(pauseMs_ * 2, kLongestPauseMs) : kFirstPauseMs;
  quickPause_ = quick;
  restartFrom_ = now;
}

std::optional<std::int64_t> ItemPolicy::restartAt(const StopActions& actions) const {
  if (!actions.restart || state_ != State::Stopped || !restartFrom_ || restarting_) return std::nullopt;
  return *restartFrom_ + actions.restartDelayMs + (quickPause_ ? pauseMs_ : 0);
}

std::optional<std::int64_t> ItemPolicy::mailAt(const StopActions& actions) const {
  if (!actions.sendEmail || !unreported_ || mailOut_) return std::nullopt;
  return lastMailAt_ ? std::max(unreported_->ms, *lastMailAt_ + actions.repeatMs) : unreported_->ms;
}

std::optional<std::int64_t> ItemPolicy::repeatAt(const StopActions& actions) const {
  if (!actions.sendEmail || !actions.repeatEmail || state_ != State::Stopped || !mailedThisStop_ ||
      mailOut_ || !lastMailAt_)
    return std::nullopt;
  return *lastMailAt_ + actions.repeatMs;
}

EngineEvent ItemPolicy::event(const Moment& now, EventId id, std::string text) const {
  EngineEvent made = now.event(id, name_, std::move(text));
  made.service = service_;
  return made;
}

std::string ItemPolicy::pauseText(const StopActions& actions) const {
  if (!quickPause_) return base::wholeSeconds(actions.restartDelayMs);
  return base::wholeSeconds(actions.restartDelayMs + pauseMs_) + " (delay " +
         base::wholeSeconds(actions.restartDelayMs) + " + pause " + base::wholeSeconds(pauseMs_) +
         " after quick stops)";
}

}  // namespace monitor
