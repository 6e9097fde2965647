#pragma once
// Owners of GDI objects: fonts, brushes and pens are deleted with their owner.
#include <windows.h>

#include "win/unique_resource.h"

namespace ui {

struct gdi_traits {
  using pointer = HGDIOBJ;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer p) noexcept { DeleteObject(p); }
};
using unique_gdi = win::unique_resource<gdi_traits>;

// Selects an object into a device context for the life of a scope.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectedObject() { SelectObject(dc_, old_); }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace ui
