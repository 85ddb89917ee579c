// Feeds arbitrary text to the OBJ reader, then writes what it read and reads that back: the
// reader must reject bad lines with an exception (never crash or loop), and whatever it
// accepts must survive the writer unchanged.
#include "QuietStandardError.h"

#include "foundation/Exception.h"
#include "skin/ObjFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QuietStandardError quiet;
    // Libraries are looked up beside the mesh: in a directory that does not exist.
    const std::string path = "/nonexistent-flexherd-fuzz/fuzz.obj";
    ObjFile obj(ObjFile::Empty{}, path, path);
    try {
        obj.parse(std::string_view(reinterpret_cast<const char*>(data), size), path);
    } catch (const Exception&) {
        return 0;
    }
    std::string text;
    try {
        text = obj.text();
    } catch (const IOException&) {
        return 0; // no group with a face
    }
    ObjFile back(ObjFile::Empty{}, path, path);
    back.parse(text, path); // must not throw: the writer writes what the reader reads
    if (back.text() != text) std::abort();
    return 0;
}
