#include "app/engine_status_panel.h"

#include "ui/gdi.h"
#include "ui/resource.h"

namespace app {
namespace {

constexpr COLORREF kGreenDot = RGB(0x0C, 0xBA, 0x55);
constexpr COLORREF kRedDot = RGB(0xFF, 0x0A, 0x3E);

}  // namespace

bool EngineStatusPanel::onDrawItem(const DRAWITEMSTRUCT& item) {
  bool green = false;
  switch (item.CtlID) {
    case IDC_PROGRAM_GREEN_DOT:
    case IDC_SERVICE_GREEN_DOT: green = true; break;
    case IDC_PROGRAM_RED_DOT:
    case IDC_SERVICE_RED_DOT: break;
    default: return false;
  }
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  // A dot of 16 by 17 pixels at the top left of its place.
  ui::unique_gdi brush(CreateSolidBrush(green ? kGreenDot : kRedDot));
  ui::SelectedObject withBrush(item.hDC, brush.get());
  ui::SelectedObject withPen(item.hDC, GetStockObject(NULL_PEN));
  Ellipse(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.left + 17, item.rcItem.top + 18);
  return true;
}

}  // namespace app
