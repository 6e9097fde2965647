#pragma once
// Move-only owners for system handles: each handle, key and search has exactly
// one owner that closes it. reset() keeps the caller's last-error value intact.
#include <windows.h>
#include <winsvc.h>

#include <utility>

namespace win {

template <class Traits>
class unique_resource {
  using P = typename Traits::pointer;
  P p_ = Traits::invalid();

 public:
  unique_resource() = default;
  explicit unique_resource(P p) noexcept : p_(p) {}
  ~unique_resource() { reset(); }
  unique_resource(const unique_resource&) = delete;
  unique_resource& operator=(const unique_resource&) = delete;
  unique_resource(unique_resource&& o) noexcept : p_(o.release()) {}
  unique_resource& operator=(unique_resource&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  P get() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != Traits::invalid(); }
  [[nodiscard]] P release() noexcept { return std::exchange(p_, Traits::invalid()); }
  void reset(P p = Traits::invalid()) noexcept {
    P old = std::exchange(p_, p);
    if (old != Traits::invalid()) {
      DWORD e = GetLastError();
      Traits::close(old);
      SetLastError(e);
    }
  }
  P* put() noexcept {
    reset();
    return &p_;
  }
};

struct handle_traits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer p) noexcept { CloseHandle(p); }
};
// CreateFile and CreateToolhelp32Snapshot report failure as INVALID_HANDLE_VALUE.
struct file_handle_traits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(pointer p) noexcept { CloseHandle(p); }
};
struct find_traits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(pointer p) noexcept { FindClose(p); }
};
struct hkey_traits {
  using pointer = HKEY;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer p) noexcept { RegCloseKey(p); }
};
struct schandle_traits {
  using pointer = SC_HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer p) noexcept { CloseServiceHandle(p); }
};
struct hwnd_traits {
  using pointer = HWND;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer p) noexcept { DestroyWindow(p); }
};

// RegisterWaitForSingleObject: unregistered once a callback under way has ended.
struct wait_traits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer p) noexcept { UnregisterWaitEx(p, INVALID_HANDLE_VALUE); }
};
struct change_notification_traits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(pointer p) noexcept { FindCloseChangeNotification(p); }
};
struct event_source_traits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer p) noexcept { DeregisterEventSource(p); }
};

using unique_handle = unique_resource<handle_traits>;
using unique_file_handle = unique_resource<file_handle_traits>;
using unique_find = unique_resource<find_traits>;
using unique_hkey = unique_resource<hkey_traits>;
using unique_schandle = unique_resource<schandle_traits>;
using unique_hwnd = unique_resource<hwnd_traits>;
using unique_wait = unique_resource<wait_traits>;
using unique_change_notification = unique_resource<change_notification_traits>;
using unique_event_source = unique_resource<event_source_traits>;

}  // namespace win
