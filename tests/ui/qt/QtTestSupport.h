#pragma once
// Shared by the Qt backend tests: one QApplication for the test program
// (offscreen), and screenshots saved for reviewers.
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "forms/Control.h"
#include "forms/Form.h"

namespace t7::test {

// Saves `widget` as <T7_BINARY_DIR>/screenshots/<name>.png; returns the path
// (empty when the picture could not be written).
std::string saveScreenshot(QWidget* widget, const std::string& name);

// Runs `action` as soon as the event loop that the caller is about to enter
// (a modal form, a message box) is running.
void whenLoopRuns(std::function<void()> action);

// The message box on screen at the moment, or nullptr.
QWidget* activeMessageBox();

// Geometry a control must have, in pixels, relative to its frame or the
// window's client area.
QRect expectedGeometry(const Control& control);

// Checks every control of a loaded form against its state: a widget named
// after it, inside its frame's widget, at its twip position, with its
// caption or text, shown and enabled as the control is; and the window's
// client size and caption.
void expectRenderedAsLaid(Form& form);

// The controls that Tab visits on screen, in the order of the focus ring,
// starting anywhere in it.
std::vector<std::wstring> tabWalk(Form& form);

}  // namespace t7::test
