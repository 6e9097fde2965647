#pragma once
// Starts an engine program the way a ProgramLaunch describes it, without
// waiting for it.
#include <windows.h>

#include "engine/engine_programs.h"

namespace engine {

// Starts the program with its window mode. Returns 0, or the system error
// code when it could not be started.
DWORD startProgram(const ProgramLaunch& launch);

}  // namespace engine
