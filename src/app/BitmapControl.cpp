#include "app/BitmapControl.h"

#include <wx/dcclient.h>

#include <algorithm>
#include <cassert>

BitmapControl::BitmapControl(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size, long style)
    : wxControl(parent, id, position, size, style)
{
    Bind(wxEVT_PAINT, &BitmapControl::onPaint, this);
    Bind(wxEVT_SIZE, &BitmapControl::onSize, this);
}

void BitmapControl::addBitmap(const wxBitmap& bitmap)
{
    const wxSize current = GetSize();
    SetMinSize(wxSize(std::max(current.x, bitmap.GetWidth()), std::max(current.y, bitmap.GetHeight())));
    m_bitmaps.push_back(bitmap);
    if (m_shown < 0) m_shown = 0;
    Refresh();
}

void BitmapControl::showBitmap(std::size_t index)
{
    assert(index < m_bitmaps.size());
    m_shown = static_cast<int>(index);
    Refresh();
}

void BitmapControl::onPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_shown >= 0) dc.DrawBitmap(m_bitmaps[static_cast<std::size_t>(m_shown)], 0, 0, true);
}

void BitmapControl::onSize(wxSizeEvent& event)
{
    if (GetAutoLayout()) Layout();
    event.Skip();
}
