#pragma once

#include <wx/bitmap.h>
#include <wx/control.h>

#include <vector>

// A control that shows one of several bitmaps at its top-left corner: the layout picture of
// the herd dialog and the banner of the about box. It is at least as large as its largest
// bitmap. Owns copies of its bitmaps (wx bitmaps share their pixels by reference count).
class BitmapControl : public wxControl {
public:
    BitmapControl(wxWindow* parent, wxWindowID id, const wxPoint& position = wxDefaultPosition,
                  const wxSize& size = wxDefaultSize, long style = 0);

    // Appends a bitmap and grows the minimum size to hold it; the first one added is shown.
    void addBitmap(const wxBitmap& bitmap);
    // Shows the index-th bitmap added; index must be below bitmapCount().
    void showBitmap(std::size_t index);

    std::size_t bitmapCount() const { return m_bitmaps.size(); }
    // The index of the bitmap shown; -1 before the first is added.
    int shownIndex() const { return m_shown; }

private:
    void onPaint(wxPaintEvent& event);
    void onSize(wxSizeEvent& event);

    std::vector<wxBitmap> m_bitmaps;
    int m_shown = -1;
};
