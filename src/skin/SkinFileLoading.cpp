#include "skin/SkinFileLoading.h"

#include "skin/FileDispatch.h"
#include "foundation/Exception.h"
#include "skin/TextSkinReader.h"

BinarySkinFile loadSkinFileByName(const std::string& path)
{
    if (fileKindOf(path) != FileKind::TextSkin) return loadBinarySkinFile(path);
    try {
        return loadTextSkinFile(path);
    } catch (const Exception& e) {
        BinarySkinFile failed;
        failed.failure = LoadFailure{"Error reading file", e.message()};
        return failed;
    }
}
