#include "app/FileDispatch.h"

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

std::string unsupportedFileMessage(FileKind kind, const std::string& path)
{
    switch (kind) {
    case FileKind::CameraKeys:
        return "Camera key files ('.keys') are not supported in this build: '" + path + "'.";
    case FileKind::Herd:
        return "Herd files ('.herd') are not supported in this build: '" + path + "'.";
    case FileKind::TextSkin:
        return "Text skin files ('.txt') are not supported in this build: '" + path + "'.";
    case FileKind::BinarySkin:
        break;
    }
    return "Unsupported file: '" + path + "'.";
}
