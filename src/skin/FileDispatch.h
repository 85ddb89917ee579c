#pragma once

#include <string>

// Which loader a file named on the command line or picked in the open dialog goes to.
// Chosen from the name alone, never from the content, so the choice is predictable for users
// who name their files by the project's conventions.
enum class FileKind {
    CameraKeys, // ".keys": a recorded camera path
    Herd,       // ".herd": a herd layout naming its skins
    TextSkin,   // ".txt": a skin in the text format
    BinarySkin, // everything else: the binary skin format is the default
};

// The extension of the last path component: from its last '.' to its end, dot included; empty
// when that component has no dot. Dots in directory names do not count, so "dir.v2/model" has
// no extension. Only '/' separates components (the viewer runs on Linux).
std::string fileExtension(const std::string& path);

// Case-sensitive dispatch on fileExtension(path): ".TXT" or ".Keys" are binary skins, because
// the tools that write the other formats always write lower-case extensions.
FileKind fileKindOf(const std::string& path);
