// What the history window needs of the layer: a window the user sizes, push buttons, a surface
// the program paints, events from a worker thread, and windows freed by number.

#include <windows.h>

#include <thread>

#include "runtime/win32/layer_messages.h"
#include "tests/win32/layer_test_support.h"

namespace qx::test {
namespace {

using CanvasTest = LayerTest;

constexpr int kSizable = kWindowCaption | kWindowSystemMenu | kWindowMinimizeBox | kWindowSizeBox;

TEST_F(CanvasTest, ASizableWindowKeepsTheSizeItWasDraggedTo) {
  const HWND hwnd = OpenWindow(2, kSizable);
  ASSERT_TRUE(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_THICKFRAME);
  int width = 0, height = 0;
  ASSERT_TRUE(WindowClientSize(2, width, height));
  EXPECT_EQ(width, 360);
  EXPECT_EQ(height, 240);
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  SetWindowPos(hwnd, nullptr, 0, 0, outer.right - outer.left + 100, outer.bottom - outer.top + 50,
               SWP_NOMOVE | SWP_NOZORDER);
  const std::vector<Event> events = DrainEvents();
  ASSERT_TRUE(WindowClientSize(2, width, height));
  EXPECT_EQ(width, 460);
  EXPECT_EQ(height, 290);
  EXPECT_FALSE(OfCode(events, WindowSizedEvent).empty());
  EXPECT_EQ(OfCode(events, WindowSizedEvent).front().window, 2);
  int unchanged = 7;
  EXPECT_FALSE(WindowClientSize(5, unchanged, unchanged));
  EXPECT_EQ(unchanged, 7);

  // A widget moved after its creation lands where the program says.
  ASSERT_NE(NewButton(4, 10, 10, 80, 24, "24 \xF7\xE0\xF1\xE0"), kNoObject);
  ResizeWidget(4, 30, 40, 120, 26);
  RECT place{};
  GetWindowRect(ControlOf(hwnd, 4), &place);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&place), 2);
  EXPECT_EQ(place.left, 30);
  EXPECT_EQ(place.top, 40);
  EXPECT_EQ(place.right - place.left, 120);
  EXPECT_EQ(place.bottom - place.top, 26);

  // Freed by number: the window and its widgets are gone, the number names nothing.
  FreeWindow(2);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(NativeWindowHandle(2), nullptr);
  EXPECT_EQ(GetText(4), "");
}

TEST_F(CanvasTest, ButtonsReportClicksAndCloseRequestsBelongToTheirWindow) {
  OpenWindow(0);
  const HWND second = OpenWindow(2, kSizable);
  ASSERT_NE(NewButton(6, 10, 10, 80, 24, "7 \xE4\xED\xE5\xE9"), kNoObject);
  EXPECT_EQ(GetText(6), "7 \xE4\xED\xE5\xE9");
  EXPECT_EQ(ClassOf(ControlOf(second, 6)), L"Button");
  DrainEvents();
  PostMessageW(ControlOf(second, 6), BM_CLICK, 0, 0);
  const std::vector<Event> clicks = OfCode(DrainEvents(), GadgetEvent);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0].object, 6);
  EXPECT_EQ(clicks[0].window, 2);

  // A close request posted to the second window, after an event of the first: whatever comes of
  // it says it is the second window's.
  PostMessageW(NativeWindowHandle(0), WM_COMMAND, 3, 0);
  PostMessageW(second, WM_CLOSE, 0, 0);
  const std::vector<Event> events = DrainEvents();
  ASSERT_FALSE(OfCode(events, MenuEvent).empty());
  EXPECT_EQ(OfCode(events, MenuEvent)[0].window, 0);
  const std::vector<Event> closes = OfCode(events, CloseEvent);
  ASSERT_FALSE(closes.empty());
  for (const Event& e : closes) EXPECT_EQ(e.window, 2) << e;
}

TEST_F(CanvasTest, TheCanvasPaintsThroughTheProgramAndFollowsTheMouse) {
  const HWND hwnd = OpenWindow(2, kSizable);
  int paints = 0, width = 0, height = 0, text_height = 0, text_width = 0;
  ASSERT_NE(NewCanvas(9, 10, 20, 200, 100,
                      [&](CanvasSurface& surface) {
                        ++paints;
                        width = surface.Width();
                        height = surface.Height();
                        text_height = surface.TextHeight();
                        text_width = surface.TextWidth("\xC7\xE0\xE3\xF0\xF3\xE7\xEA\xE0\x85");
                        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height), 0x336699);
                        surface.PutPixels(pixels.data(), width, height);
                        surface.PutText(0, 0,
                                        "25.7 \xB0"
                                        "C",
                                        0, kTextRight);
                      }),
            kNoObject);
  const HWND canvas = ControlOf(hwnd, 9);
  ASSERT_NE(canvas, nullptr);
  UpdateWindow(canvas);
  EXPECT_GE(paints, 1);
  EXPECT_EQ(width, 200);
  EXPECT_EQ(height, 100);
  EXPECT_GT(text_height, 5);
  EXPECT_GT(text_width, text_height) << "a word is wider than a line is high";

  const int before = paints;
  RedrawCanvas(9);
  UpdateWindow(canvas);
  EXPECT_EQ(paints, before + 1);
  RedrawCanvas(4);  // names nothing: nothing happens

  int x = -5, y = -5;
  EXPECT_FALSE(CanvasMousePosition(9, x, y));
  DrainEvents();
  PostMessageW(canvas, WM_MOUSEMOVE, 0, MAKELPARAM(40, 30));
  PostMessageW(canvas, WM_MOUSEMOVE, 0, MAKELPARAM(40, 30));  // no move: no event
  std::vector<Event> moves = OfCode(DrainEvents(), GadgetEvent);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].object, 9);
  EXPECT_EQ(moves[0].type, kCanvasMouseMoved);
  ASSERT_TRUE(CanvasMousePosition(9, x, y));
  EXPECT_EQ(x, 40);
  EXPECT_EQ(y, 30);
  PostMessageW(canvas, WM_MOUSELEAVE, 0, 0);
  moves = OfCode(DrainEvents(), GadgetEvent);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].type, kCanvasMouseLeft);
  EXPECT_FALSE(CanvasMousePosition(9, x, y));
}

TEST_F(CanvasTest, AWorkerThreadPostsAProgramEvent) {
  OpenWindow(0);
  DrainEvents();
  constexpr int kLoaded = WM_APP + 0x310;
  bool posted = false, refused = true;
  std::thread worker([&] {
    refused = PostProgramEvent(WM_USER + 1, 1);  // a platform message's number: refused
    posted = PostProgramEvent(kLoaded, 42);
  });
  worker.join();
  EXPECT_FALSE(refused);
  ASSERT_TRUE(posted);
  const std::vector<Event> events = OfCode(DrainEvents(), kLoaded);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].object, 42);

  ShutdownWindowLayer();
  EXPECT_FALSE(PostProgramEvent(kLoaded, 43)) << "nothing left to tell";
}

}  // namespace
}  // namespace qx::test
