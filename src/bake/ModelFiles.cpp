#include "bake/ModelFiles.h"

#include <assimp/Importer.hpp>

#include <algorithm>

namespace {

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string fileName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> askAssimp()
{
    std::string list;
    Assimp::Importer().GetExtensionList(list);
    std::vector<std::string> extensions;
    // "*.3d;*.3ds;..."
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string pattern = list.substr(start, end - start);
        if (pattern.rfind("*", 0) == 0) pattern.erase(0, 1);
        pattern = lowerCase(pattern);
        if (pattern.size() > 1 && pattern[0] == '.' && pattern != ".keys" && pattern != ".herd" && pattern != ".txt" &&
            pattern != ".bin" && std::find(extensions.begin(), extensions.end(), pattern) == extensions.end())
            extensions.push_back(pattern);
        start = end + 1;
    }
    if (std::find(extensions.begin(), extensions.end(), ".obj") == extensions.end()) extensions.push_back(".obj");
    return extensions;
}

} // namespace

const std::vector<std::string>& modelExtensions()
{
    static const std::vector<std::string> extensions = askAssimp();
    return extensions;
}

bool isModelFile(const std::string& path)
{
    const std::string name = lowerCase(fileName(path));
    for (const std::string& extension : modelExtensions())
        if (name.size() > extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0)
            return true;
    return false;
}

std::string modelFilePattern()
{
    std::string pattern;
    for (const std::string& extension : modelExtensions()) pattern += (pattern.empty() ? "*" : ";*") + extension;
    return pattern;
}
