#pragma once

#include <string>

// The text both halves of the headless text test draw: a two-column table of every printable
// character and rows like the overlay's, in white on black, over a width x height viewport of
// the current context and bound framebuffer.
void drawHeadlessTestText(int width, int height);

// The option that makes test_gl draw that text in a surfaceless EGL context, off screen, and
// write its pixels (RGB, bottom row first) to a file: "--draw-headless-text W H PATH". Run with
// DISPLAY unset, it shows the text needs no window system.
inline constexpr const char* kDrawHeadlessTextOption = "--draw-headless-text";
// Exit status 0 when the file was written.
int drawHeadlessTextToFile(int width, int height, const std::string& path);
