#pragma once

// Drives the viewer's frame from inside its own process the way the toolkit would; shared by
// every in-process GUI test program.

#include <chrono>
#include <functional>

class MyFrame;

// The viewer's main frame, or null before OnInit made it.
MyFrame* mainFrame();

// Runs the GTK event loop until done() holds; false if it still does not after the limit,
// which only guards against a hang.
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::milliseconds(10000));

// What a click on the menu item does: a check item flips, a radio item becomes the checked
// one, then the frame gets the menu command with the item's new state.
void clickMenuItem(MyFrame* frame, int id);
