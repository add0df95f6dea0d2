#pragma once
// Widgets, fonts and colours. Widgets are created in the current container of the current widget
// list (the most recently opened window's; a Panel page while one is open), at coordinates relative
// to that container, and get the list's default font. Every create call returns the widget's
// reference (its number, or an anonymous handle for -1) or kNoObject on failure; a failed create
// leaves a widget that held the number in place.

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/win32/window_layer.h"

namespace qx {

// Options of the widget kinds (the values the program passes).
inline constexpr int kTextCentred = 0x1;
inline constexpr int kTextRight = 0x2;
inline constexpr int kTextSunken = 0x20000;
// A Text ignores this bit (a StringField's read-only one); the temperature label carries it, as a
// read-only display.
inline constexpr int kTextInertBit = 0x800;
inline constexpr int kFieldCentred = 0x1;
inline constexpr int kFieldReadOnly = 0x800;
inline constexpr int kFieldNoBorder = 0x20000;
inline constexpr int kFieldPassword = 0x20;  // shows dots in place of what is typed
inline constexpr int kCheckBoxThreeState = 5;
inline constexpr int kComboEditable = 0x2;
inline constexpr int kSpinReadOnly = 0x1;
inline constexpr int kSpinNumeric = 0x2;
// A SpinField ignores this bit; the switch-on band fields carry it, so passing it changes nothing.
inline constexpr int kSpinInertBit = 0x2000;
inline constexpr int kToggleButtonOptions = 0x1103;  // push-like, text left, two-state
// Push-like, centred, one of a group: the button of the choice in force stays pressed.
inline constexpr int kRadioButtonOptions = 0x1009;

// Frame styles.
inline constexpr int kFrameGroupBox = 0;
inline constexpr int kFrameSunken = 1;
inline constexpr int kFrameStaticEdge = 2;

// SetWidgetColor: which colour.
inline constexpr int kTextColour = 1;
inline constexpr int kBackgroundColour = 2;
inline constexpr int kDefaultColour = -1;

// Font options.
inline constexpr int kFontBold = 0x100;
inline constexpr int kFontItalic = 0x200;
inline constexpr int kFontUnderline = 0x4;
inline constexpr int kFontStrikeOut = 0x8;
inline constexpr int kFontHighQuality = 0x10;
inline constexpr std::intptr_t kDefaultGuiFont = -1;

// Tab control; each AddItem adds a page, which becomes the current container until the next page
// or CloseContainer.
int NewPanel(int number, int x, int y, int width, int height);
// style 0: group box with caption; 1: sunken rectangle; 2: static edge; other: plain border.
// Styles other than 0 show no caption.
int NewFrame(int number, int x, int y, int width, int height, const std::string& caption, int style = 0);
int NewCheckBox(int number, int x, int y, int width, int height, const std::string& text, int options = 0);
int NewText(int number, int x, int y, int width, int height, const std::string& text, int options = 0);
int NewStringField(int number, int x, int y, int width, int height, const std::string& text, int options = 0);
// A pick-only drop-down list (kComboEditable makes the entry editable), exactly `height` tall
// when closed; no entry is selected after creation.
int NewComboBox(int number, int x, int y, int width, int height, int options = 0);
// A number box with arrows; the value starts at 0 and stays within minimum..maximum.
int NewSpinField(int number, int x, int y, int width, int height, int minimum, int maximum, int options);
int NewToggleButton(int number, int x, int y, int width, int height, const std::string& text, int options);
// A push button; a click arrives as a GadgetEvent.
int NewButton(int number, int x, int y, int width, int height, const std::string& text);

// --- Canvas: a surface the program paints -------------------------------------------------------
// What a paint callback draws on, valid during the call only. Sizes and places are pixels of the
// display (the canvas's size at its window's DPI); the picture reaches the screen in one piece
// when the callback returns, so nothing flickers.
class CanvasSurface {
 public:
  virtual ~CanvasSurface() = default;
  [[nodiscard]] virtual int Width() const = 0;
  [[nodiscard]] virtual int Height() const = 0;
  [[nodiscard]] virtual int Dpi() const = 0;
  // Rows of 0x00RRGGBB pixels, top row first, placed at the surface's top left corner.
  virtual void PutPixels(const std::uint32_t* pixels, int width, int height) = 0;
  // A line of text in the canvas's font at the window's DPI, its top at y; align is
  // kTextCentred or kTextRight (x is then the centre or the right end) or 0.
  virtual void PutText(int x, int y, const std::string& text, int colour, int align) = 0;
  [[nodiscard]] virtual int TextWidth(const std::string& text) = 0;
  [[nodiscard]] virtual int TextHeight() = 0;
};
using CanvasPainter = std::function<void(CanvasSurface&)>;
// GadgetEvent types of a canvas: the mouse moved over it, or left it.
inline constexpr int kCanvasMouseMoved = 14002;
inline constexpr int kCanvasMouseLeft = 14003;
// A canvas painted by `painter` whenever it needs to be; it takes the list's default font.
int NewCanvas(int number, int x, int y, int width, int height, CanvasPainter painter);
// Asks for a fresh paint soon (after the loop's current event). Also callable from a worker
// thread, which waits until the user-interface thread has taken the request: that happens inside
// a modal loop too (a message box, a window being dragged), where a program event would be lost.
void RedrawCanvas(int widget);
// Where the mouse was last seen over the canvas, in display pixels; false when it is not over it.
[[nodiscard]] bool CanvasMousePosition(int widget, int& x, int& y);

// Moves and sizes a widget (pixels at 96 DPI, like its creation).
void ResizeWidget(int widget, int x, int y, int width, int height);
// The width a Text, CheckBox, Button or ToggleButton needs to show its whole text in its own font
// at its window's DPI, in the pixels at 96 DPI that ResizeWidget takes; 0 for other kinds and for
// a number that names nothing. Layouts sized by it never cut a text, whatever the font.
[[nodiscard]] int WidgetTextWidth(int widget);

// Ends the pages of the innermost open Panel: its container becomes current again.
void CloseContainer();

// Panel: inserts a page before index `position`; ComboBox: an entry. -1 appends; positions below
// -1 are ignored. Returns 1 when an item was added, else 0.
int AddItem(int widget, int position, const std::string& text);
// Panel: selected page; CheckBox/ToggleButton: 1/0 (-1 indeterminate on a three-state box);
// ComboBox: selected entry or -1; SpinField: the value (read from the text box first when numeric).
[[nodiscard]] int GetState(int widget);
void SetState(int widget, int value);
// Panel: the selected page's label; ComboBox: the selected entry; SpinField: the text box;
// others: the control's text.
[[nodiscard]] std::string GetText(int widget);
// The control's own text as UTF-8: for a password, which may hold any character, and for a text
// that must be refused rather than have a character Windows-1251 lacks turned into "?".
[[nodiscard]] std::string GetTextUtf8(int widget);
// How wide the widget's text is in its font, in pixels at 96 DPI, rounded up: the room a label
// needs at any DPI. 0 for a number that names no widget.
[[nodiscard]] int TextWidth(int widget);
// Also callable from a worker thread for Text and StringField widgets (the change is made on the
// user-interface thread while the caller waits; see worker_text.cpp).
void SetText(int widget, const std::string& text);

// font: a handle from FontHandle, kDefaultGuiFont for the platform's default GUI font, or any other
// value, which names no font and leaves the widget in the platform's default GUI font. widget -1
// sets the default font for widgets created later in the current list.
void SetWidgetFont(int widget, std::intptr_t font);
// which: kTextColour or kBackgroundColour; colour from MakeColor, or kDefaultColour. Text,
// StringField and the text box of a SpinField take colours; other kinds ignore them.
void SetWidgetColor(int widget, int which, int colour);
// red + 256 * green + 65536 * blue.
[[nodiscard]] int MakeColor(int red, int green, int blue);

// Creates a font of `points` points (pixels through the display's vertical DPI). Returns the
// number (or anonymous handle) or kNoObject on failure.
int NewFont(int number, const std::string& face, int points, int options = 0);
// The font's native handle as an integer, 0 if there is no such font.
[[nodiscard]] std::intptr_t FontHandle(int number);

}  // namespace qx
