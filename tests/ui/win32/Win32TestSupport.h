#pragma once
// Shared by the native backend's tests: finding the windows the backend
// made, pictures for reviewers, and acting while a nested loop runs.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/Form.h"

namespace t7::test {

// Saves the window (with its caption and border) as
// <T7_BINARY_DIR>/screenshots/<name>.png; returns false when it could not.
bool saveScreenshot(HWND window, const std::string& name);

// Runs `action` once `ready` holds, from inside whatever message loop runs
// then (a modal form's, a message box's). The loop that is about to run
// must be entered by the caller.
void whenReady(std::function<bool()> ready, std::function<void()> action);

// The message box of this thread on screen, or nullptr.
HWND messageBox();

// Runs `action` with the message box once one is on screen.
void whenMessageBox(std::function<void(HWND box)> action);

std::wstring textOf(HWND hwnd);

// Checks every control of a loaded form against its state: a window at its
// twip position (its frame's plus its own) and size, with its caption or
// text, shown and enabled as the control and its frames are; and the
// window's client size and caption.
void expectRenderedAsLaid(Form& form);

// Presses a button as a mouse would, and lets the result be handled.
void press(HWND button);

}  // namespace t7::test
