#include "ui/file_dialog.h"

#include <commdlg.h>

#include <cstring>

#include "base/error.h"

namespace ui {

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
  if (GetOpenFileNameA(&dialog)) {
    path.resize(std::strlen(path.c_str()));
    return path;
  }
  if (DWORD error = CommDlgExtendedError())
    throw base::Error("the file dialog failed with code " + std::to_string(error), static_cast<long>(error));
  return {};
}

}  // namespace ui
