#include "monitor/mail_queue.h"

namespace monitor {

std::optional<MailRequest> MailQueue::next(const Policies& items, const Moment& now,
                                           const StopActions& actions) {
  if (busy()) return std::nullopt;
  ItemPolicy* first = nullptr;
  std::int64_t firstAt = 0;
  for (ItemPolicy* item : items) {
    const auto at = item->mailDueAt(actions);
    if (at && *at <= now.ms && (!first || *at < firstAt)) {
      first = item;
      firstAt = *at;
    }
  }
  if (!first) return std::nullopt;
  auto mail = first->mailDue(now, actions);
  if (mail) underWay_ = first->name();
  return mail;
}

void MailQueue::finished(const Policies& items, std::int64_t now) {
  if (!underWay_) return;
  for (ItemPolicy* item : items)
    if (item->name() == *underWay_) item->mailFinished(now);
  underWay_.reset();
}

std::optional<std::int64_t> MailQueue::dueAt(const Policies& items, const StopActions& actions) const {
  if (busy()) return std::nullopt;
  std::optional<std::int64_t> first;
  for (const ItemPolicy* item : items)
    if (const auto at = item->mailDueAt(actions); at && (!first || *at < *first)) first = at;
  return first;
}

std::vector<std::string> MailQueue::waiting(const Policies& items, std::int64_t now,
                                            const StopActions& actions) const {
  std::vector<std::string> names;
  for (const ItemPolicy* item : items)
    if (const auto at = item->mailDueAt(actions); at && *at <= now) names.push_back(item->name());
  return names;
}

}  // namespace monitor
