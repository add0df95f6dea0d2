#pragma once
// A seam for tests of the program: ShowMessageBox opens a real modal box, and a test thread uses
// these calls to see it, read it and answer it, exactly as a user would press its button. They are
// safe to call from any thread. The probe watches only boxes opened after the first call to any of
// these (a test makes one before it lets a box open); until then ShowMessageBox does no probe work.

#include <string>

namespace qx {

// How many message boxes ShowMessageBox has opened since the probe was first used.
int MessageBoxesShown();
// Whether a box opened by ShowMessageBox is open now.
bool IsMessageBoxOpen();
// Title and text (Windows-1251) of the open box, or of the last one if none is open.
std::string LastMessageBoxTitle();
std::string LastMessageBoxText();
// Waits up to timeoutMs for a box opened by ShowMessageBox, then presses `button` (IDOK = 1) on
// it. Returns true if a box was answered.
bool AnswerMessageBox(int button, int timeoutMs);

}  // namespace qx
