#include "app/ImageFileWriter.h"

#include "foundation/Exception.h"

#include <wx/image.h>
#include <wx/log.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace {

std::string unableToWrite(const std::string& path)
{
    return "Unable to write to image '" + path + "'.";
}

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
    const std::filesystem::path temporary(path + ".tmp");
    std::error_code ignored;
    bool saved = false;
    {
        // The toolkit would report its own failure in a log window; ours is the one report.
        wxLogNull quiet;
        saved = image.SaveFile(wxString(temporary.c_str(), wxConvFile), handler->GetType());
    }
    if (!saved) {
        std::filesystem::remove(temporary, ignored);
        throw IOException(unableToWrite(path));
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::filesystem::remove(temporary, ignored);
        throw IOException(unableToWrite(path));
    }
}
