// Feeds arbitrary text through the model import as far as the project's own code goes: the
// OBJ reader, the merge into one skinned model, the checks that keep hostile numbers from the
// bakers, placement, levels of detail and every baker. Formats Assimp reads are not fuzzed
// here: Assimp is not ours, and the viewer runs it in a child process, which is the defence.
// Whatever the import accepts must come out as skins the binary reader takes back.
#include "QuietStandardError.h"

#include "bake/ModelImport.h"
#include "bake/ObjModelReader.h"
#include "foundation/Exception.h"
#include "skin/ObjFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QuietStandardError quiet;
    const std::string path = "/nonexistent-flexherd-fuzz/model.obj";
    ObjFile obj(ObjFile::Empty{}, path, path);
    try {
        obj.parse(std::string_view(reinterpret_cast<const char*>(data), size), path);
    } catch (const Exception&) {
        return 0;
    }
    ImportOptions options;
    options.levels = 2;
    options.corrections = 2;
    options.prt = 2;
    options.threads = 1;
    ImportResult result;
    try {
        ImportedModel model = modelFromObj(obj, path, options);
        checkImportedModel(model, path);
        result = bakeModel(std::move(model), options);
    } catch (const IOException&) {
        return 0;
    }
    // Accepted: every level must read back through the viewer's own reader.
    try {
        const auto skins = importedSkins(result, path);
        if (skins.empty()) std::abort();
        for (const auto& skin : skins)
            if (skin->vertexCount() > Skin::kMaxVertexCount || skin->frameCount() != 1 || !skin->nextSkin()) std::abort();
    } catch (const Exception&) {
        std::abort();
    }
    return 0;
}
