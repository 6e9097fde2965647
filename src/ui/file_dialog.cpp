#include "ui/file_dialog.h"

#include <commdlg.h>

#include <cstring>

#include "base/error.h"

namespace ui {
namespace {

// The common dialogs' library is loaded when a file is first chosen, not at
// start: most runs never open the dialog, and the library and what it loads
// with it hold some hundreds of kilobytes.
struct CommonDialogs {
  decltype(&GetOpenFileNameA) getOpenFileName = nullptr;
  decltype(&CommDlgExtendedError) extendedError = nullptr;
};

const CommonDialogs& commonDialogs() {
  static const CommonDialogs functions = [] {
    CommonDialogs f;
    if (HMODULE library = LoadLibraryA("comdlg32.dll")) {
      f.getOpenFileName =
          reinterpret_cast<decltype(&GetOpenFileNameA)>(GetProcAddress(library, "GetOpenFileNameA"));
      f.extendedError =
          reinterpret_cast<decltype(&CommDlgExtendedError)>(GetProcAddress(library, "CommDlgExtendedError"));
    }
    return f;
  }();
  return functions;
}

}  // namespace

std::string chooseFile(HWND owner, const char* title, const char* filter) {
  // "description|pattern" becomes the dialog's "description\0pattern\0\0".
  std::string filters(filter);
  for (char& c : filters)
    if (c == '|') c = '\0';
  filters.append(2, '\0');
  std::string path(10000, '\0');
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrTitle = title;
  dialog.lpstrFilter = filters.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;  // 528388
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  const CommonDialogs& dialogs = commonDialogs();
  if (!dialogs.getOpenFileName || !dialogs.extendedError)
    throw base::Error("the file dialog cannot be loaded", static_cast<long>(GetLastError()));
  if (dialogs.getOpenFileName(&dialog)) {
    path.resize(std::strlen(path.c_str()));
    return path;
  }
  if (DWORD error = dialogs.extendedError())
    throw base::Error("the file dialog failed with code " + std::to_string(error), static_cast<long>(error));
  return {};
}

}  // namespace ui
