#include "app/ImageFileWriter.h"

#include "foundation/AtomicFile.h"
#include "foundation/Exception.h"

#include <wx/image.h>
#include <wx/log.h>
#include <wx/stream.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace {

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

} // namespace

void writeImageFile(const PixelImage& picture, const std::string& path)
{
    const std::filesystem::path target(path);
    // The toolkit's handlers know their extensions in lower case; "shot.PNG" is a PNG too.
    std::string extension = target.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    wxImageHandler* handler = extension.size() > 1 ? wxImage::FindHandler(extension.substr(1), wxBITMAP_TYPE_ANY) : nullptr;
    if (handler == nullptr) throw IOException(unableToWrite(path));

    // Over the picture's own pixels: a copy would double the largest allocation of an export.
    wxImage image(picture.width, picture.height, const_cast<unsigned char*>(picture.rgb.data()), true);
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
