#pragma once
// Which stop e-mail goes to the sender next, decided without touching the
// system and tested with made-up times and a sender that takes its time.
//
// One e-mail is with the sender at a time. The others wait in their items,
// at most one per item: the request is made from the item's state when the
// sender takes it, so a later stop or new settings replace what was waiting,
// and a stop found over before then (the item runs again) drops it. An
// item's next e-mail is due no sooner than the repeat interval after the
// outcome of its last one (see stop_policy.h), so a server that is silent
// for a weekend leaves 35 items with 35 waiting e-mails, not thousands, and
// no burst about items that recovered long ago. When the sender is free, the
// e-mail due earliest goes first.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "monitor/stop_policy.h"

namespace monitor {

class MailQueue {
 public:
  using Policies = std::vector<ItemPolicy*>;

  // The e-mail to hand to the sender at `now`: none while one is under way
  // or none is due. It is under way until finished().
  std::optional<MailRequest> next(const Policies& items, const Moment& now, const StopActions& actions);
  // The sender's outcome has come at `now`: the item it was about, when it
  // is still listed, counts its interval from here.
  void finished(const Policies& items, std::int64_t now);

  bool busy() const { return underWay_.has_value(); }
  const std::optional<std::string>& underWay() const { return underWay_; }
  // When the engine should look again: the earliest e-mail due, none while
  // the sender is busy (its outcome wakes the engine).
  std::optional<std::int64_t> dueAt(const Policies& items, const StopActions& actions) const;
  // The items whose e-mail is due at `now` and waits: for the log when the
  // engine ends without sending them.
  std::vector<std::string> waiting(const Policies& items, std::int64_t now, const StopActions& actions) const;

 private:
  std::optional<std::string> underWay_;  // the name of the item of the e-mail with the sender
};

}  // namespace monitor
