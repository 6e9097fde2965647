#pragma once
// The stop sound of the engine program: a wave file played in a loop while
// an item it acts for is stopped.
#include <string>

namespace monitor {

class SoundLoop {
 public:
  SoundLoop() = default;
  ~SoundLoop() { play({}); }
  SoundLoop(const SoundLoop&) = delete;
  SoundLoop& operator=(const SoundLoop&) = delete;

  // Plays `file` in a loop, unless it plays already; the empty text stops it.
  void play(const std::string& file);

 private:
  std::string playing_;
};

}  // namespace monitor
