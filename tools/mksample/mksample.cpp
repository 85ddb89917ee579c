// flexherd-mksample [--preview PICTURE.png] OUTDIR: writes the sample animals, their textures,
// a text skin, a camera flight and the sky picture into OUTDIR, one summary line per file.
// Exit status 0 on success, 1 on failure, 2 on bad usage.
#include "SampleGenerator.h"

#include "foundation/Exception.h"

#include <cstring>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    std::string directory;
    std::string preview;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--preview") == 0 && i + 1 < argc) {
            preview = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << "usage: flexherd-mksample [--preview PICTURE.png] OUTDIR\n";
            return 0;
        } else if (directory.empty() && argv[i][0] != '-') {
            directory = argv[i];
        } else {
            std::cerr << "usage: flexherd-mksample [--preview PICTURE.png] OUTDIR\n";
            return 2;
        }
    }
    if (directory.empty()) {
        std::cerr << "usage: flexherd-mksample [--preview PICTURE.png] OUTDIR\n";
        return 2;
    }
    try {
        for (const std::string& line : SampleGenerator().generate(directory)) std::cout << line << '\n';
        if (!preview.empty()) {
            SampleGenerator::writePreview(directory, preview);
            std::cout << preview << ": preview of the finest levels\n";
        }
    } catch (const Exception& e) {
        std::cerr << "flexherd-mksample: " << e.message() << '\n';
        return 1;
    }
    return 0;
}
