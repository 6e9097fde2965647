#include "monitor/sound_loop.h"

#include <windows.h>
#include <mmsystem.h>

namespace monitor {

void SoundLoop::play(const std::string& file) {
  if (file == playing_) return;
  playing_ = file;
  if (file.empty())
    PlaySoundA(nullptr, nullptr, 0);
  else
    PlaySoundA(file.c_str(), nullptr, SND_ASYNC | SND_LOOP | SND_FILENAME | SND_NODEFAULT);
}

}  // namespace monitor
