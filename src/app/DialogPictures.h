#pragma once

#include <wx/bitmap.h>

// The dialogs' pictures, drawn in code so that the program carries no image files: one
// 200 x 200 picture per herd layout, seen from above, and the about box's 419 x 210 banner.
// Deterministic: the same picture on every call. Need an initialised wx GUI.

constexpr int kLayoutPictureSize = 200;
constexpr int kBannerWidth = 419;
constexpr int kBannerHeight = 210;

// The picture for a layout key of HerdLayout.h (kRoundLayout, kRectangularLayout, kGridLayout).
wxBitmap layoutPicture(int layoutKey);
wxBitmap aboutBanner();
