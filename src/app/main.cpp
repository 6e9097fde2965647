#include <windows.h>

#include <clocale>

#include "app/start_up.h"

// The parameters bear the names and types of the system's declaration.
// NOLINTNEXTLINE(readability-non-const-parameter): the system fixes the signature
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int) {
  // Letter-case comparisons follow the system's ANSI code page.
  std::setlocale(LC_CTYPE, "");
  return app::startProcedure(hInstance, lpCmdLine ? lpCmdLine : "");
}
