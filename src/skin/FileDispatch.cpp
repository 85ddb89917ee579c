#include "skin/FileDispatch.h"

std::string fileExtension(const std::string& path)
{
    const std::size_t separator = path.rfind('/');
    const std::size_t componentStart = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < componentStart)
        return {};
    return path.substr(dot);
}

FileKind fileKindOf(const std::string& path)
{
    const std::string extension = fileExtension(path);
    if (extension == ".keys")
        return FileKind::CameraKeys;
    if (extension == ".herd")
        return FileKind::Herd;
    if (extension == ".txt")
        return FileKind::TextSkin;
    return FileKind::BinarySkin;
}
