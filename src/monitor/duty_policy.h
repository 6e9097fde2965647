#pragma once
// Who restarts what, decided without touching the system. Every engine of an
// application folder, the program and the service, watches every item; one
// of them acts (restarts, logs, sends e-mails) for each kind of item:
// - program items: the engine program of the folder, which runs in the
//   user's session; the service only while no engine program runs (a server
//   with nobody logged on), as LocalSystem in the services' session;
// - service items: the service when it runs, else the engine program.
// Each kind of engine holds a named lock of the folder while it runs; a
// second engine of the same kind and folder waits for it and acts for
// nothing meanwhile. An engine that cannot have the locks acts alone, for
// everything.
#include <cstdint>
#include <string>
#include <string_view>

namespace monitor {

enum class EngineKind { Program, Service };

// "program" or "service", as the log lines name the engine.
const char* kindName(EngineKind kind);

// The name of the lock held by the engine of `kind` of the folder: the same
// for every spelling of the folder's full path that differs only in letter
// case, and different for another folder.
std::string dutyLockName(std::string_view folderFullPath, EngineKind kind);

// The name of the folder's "the user's session is ending" event.
std::string sessionEndName(std::string_view folderFullPath);

// What an engine knows of the locks.
struct DutyView {
  bool alone = false;      // the locks cannot be had: it acts for everything
  bool ownHeld = false;    // it holds its own kind's lock
  bool otherRuns = false;  // an engine of the other kind of this folder runs
  // The engine program ended with the user's session: the service leaves
  // the program items alone for a while, as Windows is closing them.
  bool programsHeld = false;
};

// True when the engine `self` acts for items of this kind.
bool actsFor(EngineKind self, const DutyView& view, bool serviceItem);

// What the engine does, for the log: "restarts programs and services", ...
std::string dutyText(EngineKind self, const DutyView& view);

}  // namespace monitor
