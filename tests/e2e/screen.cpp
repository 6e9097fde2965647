// What the screen shows: message boxes with their icons, underlined text.
#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <stdexcept>

#include "e2e/driver.h"

namespace e2e {
namespace {

// Pixels: message-box icons (their handles are per process under Wine) and underlines.
struct Pixels {
  int width = 0, height = 0;
  std::vector<COLORREF> data;
  COLORREF at(int x, int y) const { return data[static_cast<std::size_t>(y) * width + x]; }
};

// The pixels of a rectangle of `source`, or of `icon` drawn on `background`.
Pixels grab(HDC source, int x, int y, int width, int height, HICON icon = nullptr, COLORREF background = 0) {
  Pixels p{width, height, {}};
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  if (icon) {
    RECT all{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
  } else {
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
  }
  for (int yy = 0; yy < height; ++yy)
    for (int xx = 0; xx < width; ++xx) p.data.push_back(GetPixel(memory, xx, yy));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return p;
}

Pixels onScreen(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  HDC screen = GetDC(nullptr);
  Pixels p = grab(screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
  ReleaseDC(nullptr, screen);
  return p;
}

// The standard icon that, drawn on the box's background, looks as shown.
BoxIcon identifyIcon(HWND iconControl) {
  if (!iconControl || !IsWindowVisible(iconControl) || !SendMessageA(iconControl, STM_GETICON, 0, 0))
    return BoxIcon::None;
  const Pixels shown = onScreen(iconControl);
  const std::pair<BoxIcon, LPCSTR> candidates[] = {{BoxIcon::Information, IDI_INFORMATION},
                                                   {BoxIcon::Question, IDI_QUESTION},
                                                   {BoxIcon::Warning, IDI_WARNING},
                                                   {BoxIcon::Error, IDI_ERROR}};
  HDC screen = GetDC(nullptr);
  BoxIcon best = BoxIcon::Unknown;
  std::size_t fewest = shown.data.size() / 20 + 1;  // at most 5 % of the pixels may differ
  for (const auto& [kind, id] : candidates) {
    const Pixels drawn =
        grab(screen, 0, 0, shown.width, shown.height, LoadIconA(nullptr, id), shown.at(0, 0));
    std::size_t differ = 0;
    for (std::size_t i = 0; i < drawn.data.size(); ++i) differ += drawn.data[i] != shown.data[i];
    if (differ < fewest) fewest = differ, best = kind;
  }
  ReleaseDC(nullptr, screen);
  return best;
}

MessageBoxView readMessageBox(HWND box) {
  MessageBoxView view{box, windowText(box), {}, BoxIcon::None, {}};
  HWND iconControl = nullptr;
  for (HWND child : children(box)) {
    if (hasClass(child, "Static")) {
      if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        iconControl = child;
      else if (std::string t = windowText(child); !t.empty())
        view.text = t;
    } else if (hasClass(child, "Button") && IsWindowVisible(child)) {
      view.buttons.push_back(windowText(child));
    }
  }
  view.icon = identifyIcon(iconControl);
  return view;
}

// A message box is a dialog of static texts and buttons only.
bool isMessageBox(HWND window) {
  if (className(window) != "#32770" || !IsWindowVisible(window)) return false;
  bool hasButton = false;
  for (HWND child : children(window)) {
    if (hasClass(child, "Button"))
      hasButton = true;
    else if (!hasClass(child, "Static"))
      return false;
  }
  return hasButton;
}

}  // namespace

bool drawnUnderlined(HWND control) {
  const Pixels p = onScreen(control);
  if (p.width == 0 || p.height == 0) return false;
  const COLORREF background = p.at(p.width - 1, 0);
  int left = p.width, right = -1;
  std::vector<int> ink(static_cast<std::size_t>(p.height));
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (p.at(x, y) != background)
        ++ink[static_cast<std::size_t>(y)], left = std::min(left, x), right = std::max(right, x);
  // A line under the text covers nearly every column that has ink.
  return right >= left &&
         std::any_of(ink.begin(), ink.end(), [&](int n) { return n * 10 >= (right - left + 1) * 9; });
}

bool captionDrawnActive(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  HDC screen = GetDC(nullptr);  // halfway across the title bar, past the title and short of the buttons
  const COLORREF shown = GetPixel(screen, (r.left + r.right) / 2, r.top + GetSystemMetrics(SM_CYCAPTION) / 2);
  ReleaseDC(nullptr, screen);
  auto distance = [&](int colour) {
    const COLORREF c = GetSysColor(colour);
    return std::abs(GetRValue(c) - GetRValue(shown)) + std::abs(GetGValue(c) - GetGValue(shown)) +
           std::abs(GetBValue(c) - GetBValue(shown));
  };
  return distance(COLOR_ACTIVECAPTION) < distance(COLOR_INACTIVECAPTION);
}

std::ostream& operator<<(std::ostream& out, BoxIcon icon) {
  static const char* const names[] = {"None", "Information", "Question", "Warning", "Error", "Unknown"};
  return out << names[static_cast<int>(icon)];
}

void MessageBoxView::press(const std::string& button) const {
  for (HWND child : children(window)) {
    if (hasClass(child, "Button") && windowText(child) == button) {
      click(child);
      // Gone before anything looks for the next box.
      waitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 5s);
      return;
    }
  }
  throw std::runtime_error("the message box has no button " + button);
}

std::optional<MessageBoxView> findMessageBox(DWORD processId) {
  for (HWND w : topWindows(processId))
    if (isMessageBox(w)) return readMessageBox(w);
  return std::nullopt;
}

std::optional<MessageBoxView> waitForMessageBox(DWORD processId, Duration timeout) {
  std::optional<MessageBoxView> box;
  waitUntil([&] { return (box = findMessageBox(processId)).has_value(); }, timeout);
  // Let it finish drawing before its icon is read from the screen.
  if (box) {
    pumpFor(200ms);
    box = readMessageBox(box->window);
  }
  return box;
}

}  // namespace e2e
