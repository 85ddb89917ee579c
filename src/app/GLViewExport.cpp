// The export half of GLView: images larger than the window drawn tile by tile, and the
// timedemo.
#include "app/GLView.h"

#include "app/ExportNaming.h"
#include "app/GLTileRenderer.h"
#include "camera/Camera.h"
#include "foundation/AtomicFile.h"
#include "foundation/Exception.h"
#include "render/MatrixScreenSpaceConverter.h"
#include "render/gl/GLFramebuffer.h"
#include "render/gl/OpenGLScreenSpaceConverter.h"

#include <wx/image.h>
#include <wx/log.h>
#include <wx/stream.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace {

// Undoes what an export changed when it ends, also by an exception.
class ExportScope {
public:
    ExportScope(bool& showStatistics, std::unique_ptr<TileRenderer>& target, ViewScene& scene, FrameStamps& stamps)
        : m_showStatistics(showStatistics), m_saved(showStatistics), m_target(target), m_scene(scene), m_stamps(stamps)
    {
        m_showStatistics = false;
    }
    ~ExportScope()
    {
        m_target.reset();
        m_showStatistics = m_saved;
        // Back to measuring with the matrices each paint loads, as the scene does from the start.
        m_scene.setConverterFactory([] { return std::make_unique<OpenGLScreenSpaceConverter>(); });
        // Every tile stamped a frame; the frame rate on screen is measured afresh.
        m_stamps.clear();
    }
    ExportScope(const ExportScope&) = delete;
    ExportScope& operator=(const ExportScope&) = delete;

private:
    bool& m_showStatistics;
    bool m_saved;
    std::unique_ptr<TileRenderer>& m_target;
    ViewScene& m_scene;
    FrameStamps& m_stamps;
};

// Pixels the tiles' viewports reach past their edges (TileGrid::setGuardBand).
constexpr int kTileGuardBand = 16;

// The largest image in tiles of 160 x 160 pixels; beyond that an export would run for hours.
constexpr int kMaxTiles = 16384;

void flipRows(wxImage& image)
{
    const std::size_t rowBytes = static_cast<std::size_t>(image.GetWidth()) * 3;
    unsigned char* data = image.GetData();
    std::vector<unsigned char> row(rowBytes);
    for (int top = 0, bottom = image.GetHeight() - 1; top < bottom; ++top, --bottom) {
        unsigned char* a = data + static_cast<std::size_t>(top) * rowBytes;
        unsigned char* b = data + static_cast<std::size_t>(bottom) * rowBytes;
        std::copy_n(a, rowBytes, row.data());
        std::copy_n(b, rowBytes, a);
        std::copy_n(row.data(), rowBytes, b);
    }
}

std::string unableToWrite(const std::string& path)
{
    return "Unable to write to image '" + path + "'.";
}

// The toolkit's image encoders write through this into an AtomicFile. Seekable, since some
// formats (TIFF) go back to fill in offsets.
class AtomicFileOutputStream : public wxOutputStream {
public:
    explicit AtomicFileOutputStream(AtomicFile& file) : m_file(file) {}

    bool IsSeekable() const override { return true; }
    wxFileOffset GetLength() const override { return static_cast<wxFileOffset>(m_file.size()); }

protected:
    size_t OnSysWrite(const void* buffer, size_t size) override
    {
        if (m_lasterror != wxSTREAM_NO_ERROR) return 0;
        try {
            m_file.write(std::string_view(static_cast<const char*>(buffer), size));
        } catch (const IOException&) {
            m_lasterror = wxSTREAM_WRITE_ERROR;
            return 0;
        }
        return size;
    }

    wxFileOffset OnSysSeek(wxFileOffset offset, wxSeekMode mode) override
    {
        const wxFileOffset base = mode == wxFromStart     ? 0
                                  : mode == wxFromCurrent ? static_cast<wxFileOffset>(m_file.position())
                                                          : static_cast<wxFileOffset>(m_file.size());
        const wxFileOffset target = base + offset;
        if (target < 0 || m_lasterror != wxSTREAM_NO_ERROR) return wxInvalidOffset;
        try {
            m_file.seek(static_cast<std::uint64_t>(target));
        } catch (const IOException&) {
            m_lasterror = wxSTREAM_WRITE_ERROR;
            return wxInvalidOffset;
        }
        return target;
    }

    wxFileOffset OnSysTell() const override { return static_cast<wxFileOffset>(m_file.position()); }

private:
    AtomicFile& m_file;
};

// Writes image to path in the format of path's extension. The file is replaced only once the
// whole image is on the disk, so a failure never leaves half an image in place of a good one.
void writeImage(wxImage& image, const std::string& path)
{
    const std::filesystem::path target(path);
    // The toolkit's handlers know their extensions in lower case; "shot.PNG" is a PNG too.
    std::string extension = target.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    wxImageHandler* handler = extension.size() > 1 ? wxImage::FindHandler(extension.substr(1), wxBITMAP_TYPE_ANY) : nullptr;
    if (handler == nullptr) throw IOException(unableToWrite(path));

    try {
        AtomicFile file(path);
        AtomicFileOutputStream stream(file);
        bool saved = false;
        {
            // The toolkit would report its own failure in a log window; ours is the one report.
            wxLogNull quiet;
            // As the toolkit's own file writer does: formats that name their contents (XPM)
            // take the name from it.
            image.SetOption(wxIMAGE_OPTION_FILENAME, wxString(path.c_str(), wxConvFile));
            saved = image.SaveFile(stream, handler->GetType());
        }
        if (!saved || stream.GetLastError() != wxSTREAM_NO_ERROR) throw IOException(unableToWrite(path));
        file.commit();
    } catch (const IOException&) {
        // The message stays the command's own whatever failed underneath.
        throw IOException(unableToWrite(path));
    }
}

} // namespace

int GLView::exportImage(int width, int height, const std::string& path)
{
    if (!isAcceptedImageSide(width) || !isAcceptedImageSide(height))
        throw IOException("Unable to write to image '" + path + "': " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels is not a size from 1 x 1 to 19999 x 19999.");
    if (m_clientWidth < 1 || m_clientHeight < 1)
        throw IOException("Unable to write to image '" + path + "': the view has no area to draw the tiles in.");
    if (!makeCurrent())
        throw IOException("Unable to write to image '" + path + "': the view has no OpenGL context.");

    ExportScope scope(m_showStatistics, m_exportTarget, m_scene, m_frameStamps);
    auto tiles = std::make_unique<GLTileRenderer>();
    GLTileRenderer& renderer = *tiles;
    m_exportTarget = std::move(tiles);

    renderer.setTileSize(m_clientWidth, m_clientHeight, 0);
    renderer.setGuardBand(kTileGuardBand);
    renderer.setImageSize(width, height);
    // A window shrunk to a few pixels would take millions of paints; refuse before allocating.
    if (renderer.tileCount() > kMaxTiles)
        throw IOException("Unable to write to image '" + path + "': the window is too small to draw " +
                          std::to_string(width) + " x " + std::to_string(height) + " pixels in tiles.");
    wxImage image;
    if (!image.Create(width, height, true))
        throw IOException("Unable to write to image '" + path + "': not enough memory for " + std::to_string(width) +
                          " x " + std::to_string(height) + " pixels.");
    renderer.setImageBuffer(GL_RGB, GL_UNSIGNED_BYTE, image.GetData());

    m_currentCamera->setNearFar(kNearPlane, kFarPlane);
    m_currentCamera->setAspect(static_cast<double>(width) / height);
    m_currentCamera->applyProjection(renderer);
    // Levels of detail are chosen by the size on the whole image, not on the tile: measured per
    // tile, an animal would get finer levels the smaller the window, and one that straddles
    // two tiles could be drawn at two levels, leaving a seam through it.
    const Matrix4f modelview = m_currentCamera->view();
    const Matrix4f projection = m_currentCamera->projection();
    const Viewport wholeImage{0, 0, width, height};
    m_scene.setConverterFactory([=] { return std::make_unique<MatrixScreenSpaceConverter>(modelview, projection, wholeImage); });

    // Each paint sees the export target and draws only the tile beginTile set up.
    // Drawn off screen: reading the window's own back buffer returns undefined pixels wherever
    // another window (the export's progress dialog, say) covers the view, since those pixels
    // fail the ownership test on most drivers. Without framebuffer objects the tiles go to the
    // window.
    const GLFramebuffer offscreen(m_clientWidth, m_clientHeight);
    int tileCount = 0;
    do {
        renderer.beginTile();
        render();
        ++tileCount;
    } while (renderer.endTile());

    // GL reads rows bottom to top; files store them top to bottom. Flipped in place, since a
    // mirrored copy would double the largest allocation of the export.
    flipRows(image);
    writeImage(image, path);
    return tileCount;
}

bool GLView::paintNow()
{
    if (!makeCurrent()) return false;
    render();
    if (!m_exportTarget) SwapBuffers();
    return true;
}

GLView::TimedemoResult GLView::runTimedemo(const Progress& progress)
{
    TimedemoResult result;
    result.frames = keyFrameCount();
    const std::int64_t start = FrameStamps::nowMilliseconds();
    for (int i = 0; i < result.frames; ++i) {
        setFrame(i);
        paintNow();
        ++result.framesDrawn;
        if (progress && !progress(result.framesDrawn, result.frames) && result.framesDrawn < result.frames) {
            result.cancelled = true;
            break;
        }
    }
    result.seconds = static_cast<double>(FrameStamps::nowMilliseconds() - start) * 0.001;
    return result;
}
