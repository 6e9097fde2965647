#pragma once
// One event of the engine: what log.text records as a line and the Event Log
// as an event of the source "BrennixMonitor". The event ids are fixed and
// documented (administrators filter and trigger on them); the message table
// of the engine programs (messages.mc) holds a text for each.
#include <cstdint>
#include <string>
#include <vector>

namespace monitor {

enum class EventId : std::uint16_t {
  EngineStarted = 1000,
  EngineEnded = 1001,
  DutyTakenOver = 1002,
  EngineNote = 1003,  // anything else the log says: a file read again, a failure worked around
  ItemStopped = 2000,
  ItemRestarted = 2001,
  RestartFailed = 2002,
  NotResponding = 2003,
  OverLimit = 2004,
  MailSent = 3000,
  MailFailed = 3001,
};

inline constexpr EventId kAllEventIds[] = {
    EventId::EngineStarted, EventId::EngineEnded,   EventId::DutyTakenOver, EventId::EngineNote,
    EventId::ItemStopped,   EventId::ItemRestarted, EventId::RestartFailed, EventId::NotResponding,
    EventId::OverLimit,     EventId::MailSent,      EventId::MailFailed};

enum class EventLevel { Information, Warning, Error };

constexpr EventLevel eventLevel(EventId id) {
  switch (id) {
    case EventId::ItemStopped:
    case EventId::NotResponding:
    case EventId::OverLimit:
      return EventLevel::Warning;
    case EventId::RestartFailed:
    case EventId::MailFailed:
      return EventLevel::Error;
    default:
      return EventLevel::Information;
  }
}

struct EngineEvent {
  EventId id = EventId::EngineNote;
  std::string item;   // the item it is about; empty for the engine's own events
  std::string stamp;  // the local time as the log shows it
  std::int64_t unixSeconds = 0;
  std::string text;      // the log line after its time
  bool stop = false;     // the item has stopped, or been ended by the engine
  bool service = false;  // the item is a service item
  bool kept = false;     // log.text shows it even when logging is only turned on later

  std::string line() const { return stamp + " - " + text; }
};

using Events = std::vector<EngineEvent>;

}  // namespace monitor
