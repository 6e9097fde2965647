#include <windows.h>

#include <clocale>

#include "app/start_up.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
  // Letter-case comparisons follow the system's ANSI code page.
  std::setlocale(LC_CTYPE, "");
  return app::startProcedure(instance, arguments ? arguments : "");
}
