#pragma once
// The services of the local machine, from the Service Control Manager.
#include <windows.h>

#include <vector>

#include "engine/service_states.h"

namespace engine {

// Fills `services` with every service that runs in a process of its own or
// a shared one (no drivers), running or not, in the order the system gives.
// False, with `services` empty and `error` holding the system error code,
// when the list cannot be had; also false when there is nothing to list.
// Names longer than 255 characters are cut there.
bool listServices(std::vector<ServiceEntry>& services, DWORD& error);

}  // namespace engine
