#pragma once

#include "skin/BinarySkinLoader.h"
#include "skin/Skin.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

class TextLines;

// The text skin format: '#' starts a comment, a line starting with '*' is a command
// ("*BONEANIMATION, NFRAMES=30, BONEINDEX=0"), every other line is data of the section the last
// command opened: the OBJ mesh file name, bone frames (frame number and a row-major 4x4
// matrix), vertex weights (vertex number, then bone and weight pairs), and the rows of the
// displacement and normal bases and their per-frame coefficients.
//
// Errors of a line are reported as CreationException "Caught exception in line L, column C of
// .skin file 'P':" followed by the line and a caret under the column.

// Reads a text skin from `text` as if it were the file at `path` (the mesh is looked up
// beside it). Throws like the Skin constructor that reads a text skin file.
std::shared_ptr<Skin> parseTextSkin(std::string_view text, const std::string& path,
                                    const std::string& lightingFileName, const std::string& name);
// The same with the lighting file's bytes read from a stream; lightingFileName names it in
// messages.
std::shared_ptr<Skin> parseTextSkin(std::string_view text, const std::string& path, std::istream& lighting,
                                    const std::string& lightingFileName, const std::string& name);

// What the file-opening command does with a ".txt" path: one skin named after the file (its
// name without directory and extension) and the directory it lives in. Throws
// CreationException for a bad skin file or an unusable path ("Invalid path: 'PATH'."), and
// the OBJ reader's IOException and ParserException for the mesh it names.
SkinFile loadTextSkinFile(const std::string& path);

// The reader's access to the skin it fills.
class TextSkinReader {
public:
    // With a lighting stream, the lighting is read from it instead of the named file.
    static std::shared_ptr<Skin> parse(std::string_view text, const std::string& path,
                                       const std::string& lightingFileName, const std::string& name,
                                       std::istream* lighting = nullptr);
    static void read(Skin& skin, std::string_view text, const std::string& path, const std::string& lightingFileName,
                     const std::string& name, std::istream* lighting = nullptr);
    // The same from the lines of a file. Everything the skin keeps, with its mesh, materials
    // and lighting file, is taken from one MemoryBudget of kSkinFileBytes; more is refused
    // with CreationException naming the file.
    static void read(Skin& skin, TextLines& lines, const std::string& path, const std::string& lightingFileName,
                     const std::string& name, std::istream* lighting = nullptr);
};
