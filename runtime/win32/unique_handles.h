#pragma once
// One owner for every Win32 resource the layer creates: move-only wrappers that release on
// destruction.

#include <windows.h>

#include <utility>

namespace qx {

template <typename Handle, typename Traits>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(Handle handle) : handle_(handle) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueResource() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }
  Handle release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) {
    Handle old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) Traits::Release(old);
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct HwndTraits {
  static HWND Invalid() { return nullptr; }
  static void Release(HWND h) {
    if (IsWindow(h)) DestroyWindow(h);
  }
};
struct GdiTraits {
  static HGDIOBJ Invalid() { return nullptr; }
  static void Release(HGDIOBJ h) { DeleteObject(h); }
};
struct HfontTraits {
  static HFONT Invalid() { return nullptr; }
  static void Release(HFONT h) { DeleteObject(h); }
};
struct HbrushTraits {
  static HBRUSH Invalid() { return nullptr; }
  static void Release(HBRUSH h) { DeleteObject(h); }
};
struct HmenuTraits {
  static HMENU Invalid() { return nullptr; }
  static void Release(HMENU h) { DestroyMenu(h); }
};
struct HiconTraits {
  static HICON Invalid() { return nullptr; }
  static void Release(HICON h) { DestroyIcon(h); }
};
struct HaccelTraits {
  static HACCEL Invalid() { return nullptr; }
  static void Release(HACCEL h) { DestroyAcceleratorTable(h); }
};
struct DevNotifyTraits {
  static HDEVNOTIFY Invalid() { return nullptr; }
  static void Release(HDEVNOTIFY h) { UnregisterDeviceNotification(h); }
};
struct HkeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Release(HKEY h) { RegCloseKey(h); }
};
struct HandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Release(HANDLE h) { CloseHandle(h); }
};

using UniqueHwnd = UniqueResource<HWND, HwndTraits>;
using UniqueHfont = UniqueResource<HFONT, HfontTraits>;
using UniqueHbrush = UniqueResource<HBRUSH, HbrushTraits>;
using UniqueHmenu = UniqueResource<HMENU, HmenuTraits>;
using UniqueHicon = UniqueResource<HICON, HiconTraits>;
using UniqueHaccel = UniqueResource<HACCEL, HaccelTraits>;
using UniqueHandle = UniqueResource<HANDLE, HandleTraits>;
using UniqueHkey = UniqueResource<HKEY, HkeyTraits>;
using UniqueDevNotify = UniqueResource<HDEVNOTIFY, DevNotifyTraits>;

}  // namespace qx
