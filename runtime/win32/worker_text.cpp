// Text changes and canvas redraws from worker threads.
//
// Only the user-interface thread ever touches a control or a layer record. A worker that calls
// SetText, SetTrayToolTip or RedrawCanvas puts a request (on its own stack) into a queue guarded by a mutex,
// nudges the user-interface thread with SendNotifyMessage to the layer's message-only dispatcher
// window, and waits on a condition variable until its request is marked done.
//
// SendNotifyMessage to another thread's window returns at once, and the message is delivered as a
// sent message: the user-interface thread runs it whenever it looks at its message queue -- inside
// WaitForEvent's GetMessage, and inside the modal loops of the message box, the popup menu and
// window moves -- without it ever reaching the event loop as a message of its own. There the queue
// is drained: each request's widget is looked up by number at that moment, on that thread, so a
// widget destroyed and created again under the same number is either the old one (still alive) or
// the new one, never a destroyed control.
//
// A worker's text that a place shows already costs nothing: the user-interface thread keeps, under
// the same mutex, a record of every widget and tray icon it has made and of the text each shows
// now (noted as it creates, changes and destroys them, and as the user types into a field). A
// request whose text is there already, or whose place does not exist, is dropped before it is
// queued, exactly as if it had been carried out: a worker that shows the same reading again and
// again makes no round trip. A place whose text the layer does not follow (a Panel's caption, a
// combo box) always takes the round trip.
//
// Shutdown: ShutdownWindowLayer first stops accepting requests and marks every queued one done
// before it destroys anything, so no worker is left waiting; a later request is refused at once.
// The user-interface thread never waits for a worker, so the two cannot deadlock. A request being
// carried out is not in the queue, and its worker keeps waiting until the user-interface thread
// has finished with it, so the request never outlives its use.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/platform/lock.h"
#include "runtime/win32/layer_messages.h"
#include "runtime/win32/layer_state.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {

namespace {

struct Request {
  enum class Kind { kWidgetText, kTrayToolTip, kCanvasRedraw } kind;
  int target;
  std::string text;
  bool done = false;  // guarded by g_mutex
};

Lock g_mutex;
Condition g_done;
std::vector<Request*> g_queue;  // guarded by g_mutex; a handful at most, oldest first
bool g_accepting = false;       // guarded by g_mutex
HWND g_dispatcher = nullptr;    // guarded by g_mutex
std::atomic<DWORD> g_ui_thread{0};

struct ShownText {
  Request::Kind kind;
  int target;
  bool followed;  // false: the layer cannot tell what the place shows
  std::string text;
};
std::vector<ShownText> g_shown;  // guarded by g_mutex

ShownText* FindShown(Request::Kind kind, int target) {
  for (ShownText& shown : g_shown)
    if (shown.kind == kind && shown.target == target) return &shown;
  return nullptr;
}

void Note(Request::Kind kind, int target, bool followed, const std::string& text) {
  std::lock_guard lock(g_mutex);
  if (ShownText* shown = FindShown(kind, target)) {
    shown->followed = followed;
    shown->text = text;
    return;
  }
  g_shown.push_back({kind, target, followed, text});
}

void Forget(Request::Kind kind, int target) {
  std::lock_guard lock(g_mutex);
  std::erase_if(g_shown, [&](const ShownText& s) { return s.kind == kind && s.target == target; });
}

// Whether carrying the request out would change nothing (guarded by g_mutex).
bool ChangesNothing(const Request& request) {
  // Every widget has a record of its text, a canvas too: a redraw needs one that exists.
  if (request.kind == Request::Kind::kCanvasRedraw) return !FindShown(Request::Kind::kWidgetText, request.target);
  const ShownText* shown = FindShown(request.kind, request.target);
  if (!shown) return true;  // no such place: the call does nothing
  return shown->followed && shown->text == request.text;
}

void RunOnUiThread(Request& request) {
  HWND dispatcher = nullptr;
  {
    std::lock_guard lock(g_mutex);
    if (!g_accepting || ChangesNothing(request)) return;
    g_queue.push_back(&request);
    dispatcher = g_dispatcher;
  }
  const bool nudged = SendNotifyMessageW(dispatcher, kMsgRunWorkerRequests, 0, 0) != FALSE;
  std::lock_guard lock(g_mutex);
  if (!nudged) {
    // The dispatcher is gone: a request still queued will never be taken, so withdraw it. One
    // already taken is finished (or was cancelled) and marked done below.
    auto it = std::find(g_queue.begin(), g_queue.end(), &request);
    if (it != g_queue.end()) {
      g_queue.erase(it);
      return;
    }
  }
  g_done.Wait(g_mutex, [&] { return request.done; });
}

}  // namespace

bool IsUiThread() {
  return g_ui_thread.load() == GetCurrentThreadId();
}

void AcceptWorkerRequests(DWORD ui_thread, HWND dispatcher) {
  std::lock_guard lock(g_mutex);
  g_accepting = true;
  g_dispatcher = dispatcher;
  g_ui_thread.store(ui_thread);
}

bool PostProgramEvent(int code, int object) {
  std::lock_guard lock(g_mutex);
  if (!g_accepting || !g_dispatcher || code < static_cast<int>(WM_APP)) return false;
  return PostMessageW(g_dispatcher, kMsgProgramEvent, static_cast<WPARAM>(code), static_cast<LPARAM>(object)) != 0;
}

void CancelWorkerRequests() {
  {
    std::lock_guard lock(g_mutex);
    g_accepting = false;
    g_dispatcher = nullptr;
    for (Request* request : g_queue) request->done = true;
    g_queue.clear();
    g_shown.clear();
    g_ui_thread.store(0);
  }
  g_done.NotifyAll();
}

void RunWorkerRequests() {
  LayerState* s = Layer();
  for (;;) {
    Request* request = nullptr;
    Request::Kind kind;
    int target = 0;
    std::string text;
    {
      std::lock_guard lock(g_mutex);
      if (g_queue.empty()) return;
      request = g_queue.front();
      g_queue.erase(g_queue.begin());
      kind = request->kind;
      target = request->target;
      text = request->text;
    }
    // What a worker changes is not the user's doing: it raises no event.
    if (s) ++s->suppress_events;
    if (kind == Request::Kind::kWidgetText) {
      SetTextOnUiThread(target, text);
    } else if (kind == Request::Kind::kCanvasRedraw) {
      RedrawCanvasOnUiThread(target);
    } else {
      SetTrayToolTipOnUiThread(target, text);
    }
    if ((s = Layer())) --s->suppress_events;
    {
      std::lock_guard lock(g_mutex);
      request->done = true;
    }
    g_done.NotifyAll();
  }
}

void NoteWidgetText(int widget, bool followed, const std::string& text) {
  Note(Request::Kind::kWidgetText, widget, followed, text);
}

void ForgetWidgetText(int widget) {
  Forget(Request::Kind::kWidgetText, widget);
}

void NoteToolTip(int number, bool followed, const std::string& text) {
  Note(Request::Kind::kTrayToolTip, number, followed, text);
}

void ForgetToolTip(int number) {
  Forget(Request::Kind::kTrayToolTip, number);
}

void SetText(int widget, const std::string& text) {
  if (IsUiThread()) {
    SetTextOnUiThread(widget, text);
    return;
  }
  Request request{Request::Kind::kWidgetText, widget, text};
  RunOnUiThread(request);
}

// Unlike a program event, the request is carried out inside a modal loop too: a worker's result
// reaches the screen while a box is open or a window is dragged.
void RedrawCanvas(int widget) {
  if (IsUiThread()) {
    RedrawCanvasOnUiThread(widget);
    return;
  }
  Request request{Request::Kind::kCanvasRedraw, widget, {}};
  RunOnUiThread(request);
}

void SetTrayToolTip(int number, const std::string& text) {
  if (IsUiThread()) {
    SetTrayToolTipOnUiThread(number, text);
    return;
  }
  Request request{Request::Kind::kTrayToolTip, number, text};
  RunOnUiThread(request);
}

}  // namespace qx
