#pragma once
// A seam for tests: the shell's notification-area call. At log-on the shell refuses icons until
// the taskbar exists, which never happens under a test's desktop; a test puts a stand-in here that
// refuses as that shell would. User-interface thread only.

#include <windows.h>

#include <shellapi.h>

#include <functional>

namespace qx {

using NotifyIconCall = std::function<BOOL(DWORD message, NOTIFYICONDATAW* data)>;
// Every tray icon call of the layer goes through `call` from now on; an empty one restores
// Shell_NotifyIconW.
void SetNotifyIconCall(NotifyIconCall call);

}  // namespace qx
