#include "skin/SkinFileLoading.h"

#include "skin/FileDispatch.h"
#include "skin/TextSkinReader.h"

SkinFile loadSkinFileByName(const std::string& path)
{
    if (fileKindOf(path) == FileKind::TextSkin) return loadTextSkinFile(path);
    return loadBinarySkinFile(path);
}
