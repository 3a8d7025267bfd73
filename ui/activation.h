#pragma once

#include <functional>

class QWidget;

// A window's activation is the user moving to it from another window of the program.
// The focus coming back from one of our message boxes or prompts is none, although the
// window manager reports it as such, and neither is coming back from another program:
// only a change between the program's own windows counts.
namespace Activation {
void watch(QWidget *window, std::function<void()> onActivated);
// Tests drive activation themselves: with false, only activations sent by the program
// count, not those the window system reports on its own schedule.
void followWindowSystem(bool follow);
// The window of the program the user moved to last, or null.
QWidget *lastActiveWindow();
// Forgets which window was active last (between tests).
void reset();
} // namespace Activation
