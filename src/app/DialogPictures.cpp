#include "app/DialogPictures.h"

#include "app/HerdLayout.h"

#include <wx/dcmemory.h>
#include <wx/graphics.h>

#include <cmath>
#include <memory>
#include <random>
#include <tuple>

namespace {

constexpr double kPi = 3.14159265358979323846;

const wxColour kGrass(146, 190, 110);
const wxColour kGrassDark(118, 160, 86);
const wxColour kHide(120, 84, 52);
const wxColour kHideLight(226, 214, 190);
const wxColour kGuide(60, 60, 60);

// A bitmap of the size with a graphics context drawing into it; the context must be gone
// before the bitmap is used, hence the two-step use in the callers.
struct Canvas {
    wxBitmap bitmap;
    wxMemoryDC dc;
    std::unique_ptr<wxGraphicsContext> gc;

    Canvas(int width, int height) : bitmap(width, height, 24)
    {
        dc.SelectObject(bitmap);
        gc.reset(wxGraphicsContext::Create(dc));
    }
    wxBitmap finish()
    {
        gc.reset();
        dc.SelectObject(wxNullBitmap);
        return bitmap;
    }
};

// A field of grass with faint mowing stripes.
void drawField(wxGraphicsContext& gc, int width, int height)
{
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.SetBrush(wxBrush(kGrass));
    gc.DrawRectangle(0, 0, width, height);
    gc.SetBrush(wxBrush(kGrassDark));
    for (int x = 0; x < width; x += 40) gc.DrawRectangle(x, 0, 20, height);
}

// One animal seen from above, heading along angle (radians, 0 = up the picture): a body, a
// head in front and a dark patch, so that herds read as animals rather than dots.
void drawAnimalFromAbove(wxGraphicsContext& gc, double x, double y, double angle, double scale)
{
    const wxGraphicsMatrix saved = gc.GetTransform();
    gc.Translate(x, y);
    gc.Rotate(angle);
    gc.Scale(scale, scale);
    gc.SetPen(wxPen(wxColour(50, 35, 20), 1));
    gc.SetBrush(wxBrush(kHideLight));
    gc.DrawEllipse(-3.5, -7, 7, 14);
    gc.SetBrush(wxBrush(kHide));
    gc.DrawEllipse(-2.5, -11, 5, 5);
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.DrawEllipse(-2.5, -2, 4, 5);
    gc.SetTransform(saved);
}

// A dimension arrow between two points, heads at both ends, with a label beside its middle.
void drawDimension(wxGraphicsContext& gc, double x0, double y0, double x1, double y1, const wxString& label,
                   double labelX, double labelY)
{
    gc.SetPen(wxPen(kGuide, 1));
    gc.StrokeLine(x0, y0, x1, y1);
    const double angle = std::atan2(y1 - y0, x1 - x0);
    for (const auto& [px, py, a] : {std::tuple{x0, y0, angle}, std::tuple{x1, y1, angle + kPi}}) {
        gc.StrokeLine(px, py, px + 6 * std::cos(a + 0.45), py + 6 * std::sin(a + 0.45));
        gc.StrokeLine(px, py, px + 6 * std::cos(a - 0.45), py + 6 * std::sin(a - 0.45));
    }
    gc.SetFont(wxFont(wxFontInfo(9).Bold()), kGuide);
    gc.DrawText(label, labelX, labelY);
}

void drawRound(wxGraphicsContext& gc)
{
    // Scattered around the centre, denser in the middle, as the Gaussian herd places them.
    std::mt19937 random(7);
    std::normal_distribution<double> offset(0.0, 30.0);
    std::uniform_real_distribution<double> heading(-0.5, 0.5);
    gc.SetPen(wxPen(kGuide, 1, wxPENSTYLE_SHORT_DASH));
    gc.SetBrush(*wxTRANSPARENT_BRUSH);
    gc.DrawEllipse(20, 20, 160, 160);
    for (int placed = 0; placed < 34;) {
        const double x = 100 + offset(random);
        const double y = 100 + offset(random);
        if (std::hypot(x - 100, y - 100) > 72) continue;
        drawAnimalFromAbove(gc, x, y, heading(random), 1.0);
        ++placed;
    }
}

void drawRectangular(wxGraphicsContext& gc)
{
    // A band of the chosen width, the animals walking up it in a queue.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> across(62, 138);
    std::uniform_real_distribution<double> jitter(-4, 4);
    gc.SetPen(wxPen(kGuide, 1, wxPENSTYLE_SHORT_DASH));
    gc.StrokeLine(55, 8, 55, 172);
    gc.StrokeLine(145, 8, 145, 172);
    for (double y = 22; y < 168; y += 13) drawAnimalFromAbove(gc, across(random), y + jitter(random), 0.0, 1.0);
    drawDimension(gc, 55, 184, 145, 184, "Width", 150, 177);
    // The direction of walking.
    gc.SetPen(wxPen(kGuide, 2));
    gc.StrokeLine(25, 150, 25, 50);
    gc.StrokeLine(25, 50, 19, 62);
    gc.StrokeLine(25, 50, 31, 62);
}

void drawGrid(wxGraphicsContext& gc)
{
    // Rows and columns with a little jitter, as the grid herd lays them out.
    std::mt19937 random(5);
    std::uniform_real_distribution<double> jitter(-2, 2);
    constexpr int kRows = 5;
    constexpr int kColumns = 6;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column)
            drawAnimalFromAbove(gc, 45 + column * 25 + jitter(random), 45 + row * 28 + jitter(random), 0.0, 1.0);
    drawDimension(gc, 38, 18, 172, 18, "Columns", 78, 2);
    drawDimension(gc, 18, 30, 18, 170, "Rows", 2, 176);
}

// A quadruped from the side, standing on baseY and facing right; longNeck makes the giraffe.
void drawAnimalFromSide(wxGraphicsContext& gc, double x, double baseY, double scale, bool longNeck,
                        const wxColour& colour)
{
    const wxGraphicsMatrix saved = gc.GetTransform();
    gc.Translate(x, baseY);
    gc.Scale(scale, scale);
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.SetBrush(wxBrush(colour));
    const double legLength = longNeck ? 30 : 18;
    const double bodyTop = -legLength - 16;
    gc.DrawRoundedRectangle(-24, bodyTop, 48, 18, 8);
    for (const double legX : {-20.0, -12.0, 12.0, 18.0}) gc.DrawRectangle(legX, -legLength - 2, 4, legLength + 2);
    wxGraphicsPath neck = gc.CreatePath();
    if (longNeck) {
        neck.MoveToPoint(16, bodyTop + 6);
        neck.AddLineToPoint(30, bodyTop - 38);
        neck.AddLineToPoint(37, bodyTop - 36);
        neck.AddLineToPoint(26, bodyTop + 8);
    } else {
        neck.MoveToPoint(18, bodyTop + 2);
        neck.AddLineToPoint(30, bodyTop - 6);
        neck.AddLineToPoint(34, bodyTop + 4);
        neck.AddLineToPoint(22, bodyTop + 12);
    }
    neck.CloseSubpath();
    gc.FillPath(neck);
    const double headY = longNeck ? bodyTop - 44 : bodyTop - 10;
    const double headX = longNeck ? 30 : 28;
    gc.DrawEllipse(headX, headY, 16, 9);
    // Tail.
    gc.SetPen(wxPen(colour, 2));
    gc.StrokeLine(-24, bodyTop + 3, -30, bodyTop + 14);
    gc.SetTransform(saved);
}

} // namespace

wxBitmap layoutPicture(int layoutKey)
{
    Canvas canvas(kLayoutPictureSize, kLayoutPictureSize);
    wxGraphicsContext& gc = *canvas.gc;
    drawField(gc, kLayoutPictureSize, kLayoutPictureSize);
    switch (layoutKey) {
    case kRectangularLayout: drawRectangular(gc); break;
    case kGridLayout: drawGrid(gc); break;
    default: drawRound(gc); break;
    }
    return canvas.finish();
}

wxBitmap aboutBanner()
{
    Canvas canvas(kBannerWidth, kBannerHeight);
    wxGraphicsContext& gc = *canvas.gc;
    // Evening sky over a meadow.
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.SetBrush(gc.CreateLinearGradientBrush(0, 0, 0, 150, wxColour(40, 70, 140), wxColour(240, 170, 110)));
    gc.DrawRectangle(0, 0, kBannerWidth, 150);
    gc.SetBrush(gc.CreateLinearGradientBrush(0, 150, 0, kBannerHeight, wxColour(96, 140, 70), wxColour(50, 90, 40)));
    gc.DrawRectangle(0, 150, kBannerWidth, kBannerHeight - 150);
    // A herd walking across, smaller further away.
    const wxColour near(35, 28, 22);
    const wxColour far(70, 60, 55);
    drawAnimalFromSide(gc, 250, 156, 0.55, false, far);
    drawAnimalFromSide(gc, 300, 158, 0.6, true, far);
    drawAnimalFromSide(gc, 360, 157, 0.55, false, far);
    drawAnimalFromSide(gc, 215, 190, 1.0, false, near);
    drawAnimalFromSide(gc, 300, 196, 1.05, true, near);
    drawAnimalFromSide(gc, 380, 192, 0.95, false, near);
    gc.SetFont(wxFont(wxFontInfo(34).Bold().Family(wxFONTFAMILY_SWISS)), *wxWHITE);
    gc.DrawText("Flexherd", 18, 22);
    gc.SetFont(wxFont(wxFontInfo(11).Family(wxFONTFAMILY_SWISS)), wxColour(250, 240, 225));
    gc.DrawText("Skinned mesh animations and herds of them", 20, 78);
    return canvas.finish();
}
