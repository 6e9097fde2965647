// A program for the engine to watch: runs until ended. By the start of its name:
// "quick" ends at once; "hang" shows a window that stops answering once the file
// "<name>.freeze" lies beside it; "hog" commits and fills 120 MB; "spin" keeps one
// processor busy. "hog" and "hang" write the tick count at which they began to be
// over their limit to "<name>.over" beside them.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string path;  // of this program

bool named(const char* prefix) {
  return _strnicmp(path.c_str() + path.rfind('\\') + 1, prefix, std::strlen(prefix)) == 0;
}

void writeOver() {
  const std::string text = std::to_string(GetTickCount64());
  HANDLE file = CreateFileA((path + ".over").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
  if (GetFileAttributesA((path + ".freeze").c_str()) == INVALID_FILE_ATTRIBUTES) return;
  writeOver();
  Sleep(INFINITE);
}

}  // namespace

int main() {
  char own[MAX_PATH] = {};
  path.assign(own, GetModuleFileNameA(nullptr, own, MAX_PATH));
  if (named("quick")) return 3;
  if (named("hang")) {
    HWND window = CreateWindowA("STATIC", "hang", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                nullptr, nullptr, nullptr);
    SetTimer(window, 1, 50, tick);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  }
  if (named("hog")) {
    constexpr SIZE_T kSize = 120 * 1024 * 1024;
    if (void* memory = VirtualAlloc(nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
      std::memset(memory, 1, kSize);
    writeOver();
  }
  if (named("spin")) {
    volatile unsigned long n = 0;
    for (;;) n = n + 1;
  }
  Sleep(INFINITE);
}
