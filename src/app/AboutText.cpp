#include "app/AboutText.h"

namespace {

// One block per library the viewer links (see the link lines of src/app and below): title
// line, credit lines, web address. Libraries used only by the tools, tests or benchmarks are
// not part of the program and are left out.
struct LibraryCredit {
    const char* title;
    const char* credits;
    const char* address;
};

constexpr LibraryCredit kLibraries[] = {
    {"GLEW: The OpenGL Extension Wrangler Library\n",
     "Milan Ikits\n"
     "Marcelo E. Magallon\n"
     "Lev Povalahev\n"
     "Copyright (C) 2008-2017 Nigel Stewart and the GLEW contributors. All rights reserved.\n",
     "https://glew.sourceforge.net/\n"},
    {"wxWidgets\n", "Copyright (c) 1998-2005 Julian Smart, Robert Roebling et al\n", "https://www.wxwidgets.org/\n"},
    {"Boost C++ Libraries\n", "", "https://www.boost.org/\n"},
    {"freeglut\n", "Copyright (c) 1999-2000 Pawel W. Olszta. All rights reserved.\n",
     "https://freeglut.sourceforge.net/\n"},
    {"OpenGL Utility Library (GLU)\n", "Copyright (c) 1991-2000 Silicon Graphics, Inc. All rights reserved.\n",
     "https://gitlab.freedesktop.org/mesa/glu\n"},
    {"OpenBLAS, with LAPACK\n",
     "Copyright (c) 2011-2014 The OpenBLAS Project. All rights reserved.\n"
     "LAPACK: Copyright (c) 1992-2017 The University of Tennessee and The University of Tennessee Research "
     "Foundation. All rights reserved.\n",
     "https://www.openblas.net/\n"},
    {"libpng, libjpeg and zlib (image files, through wxWidgets)\n",
     "libpng: Copyright (c) 1995-2022 The PNG Reference Library Authors\n"
     "This software is based in part on the work of the Independent JPEG Group.\n"
     "zlib: Copyright (C) 1995-2022 Jean-loup Gailly and Mark Adler\n",
     "http://www.libpng.org/pub/png/libpng.html\n"},
};

} // namespace

std::string aboutText()
{
    std::string text = "Flexherd v1.1\n";
    text += "Written by the two Flexherd developers, 2026.\n";
    text += "Documentation: README.md in the Flexherd source distribution.";
    text += "\n\n----\n";
    text += "This program contains code from the following libraries:\n";
    bool first = true;
    for (const LibraryCredit& library : kLibraries) {
        if (!first) text += "\n";
        first = false;
        text += library.title;
        text += library.credits;
        text += library.address;
    }
    text += "\n\n";
    text += "THIS SOFTWARE IS PROVIDED BY THE COPYRIGHT HOLDERS AND CONTRIBUTORS \"AS IS\" AND ANY EXPRESS OR "
            "IMPLIED WARRANTIES, INCLUDING, BUT NOT LIMITED TO, THE IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS "
            "FOR A PARTICULAR PURPOSE ARE DISCLAIMED. IN NO EVENT SHALL THE COPYRIGHT OWNER OR CONTRIBUTORS BE LIABLE "
            "FOR ANY DIRECT, INDIRECT, INCIDENTAL, SPECIAL, EXEMPLARY, OR CONSEQUENTIAL DAMAGES (INCLUDING, BUT NOT "
            "LIMITED TO, PROCUREMENT OF SUBSTITUTE GOODS OR SERVICES; LOSS OF USE, DATA, OR PROFITS; OR BUSINESS "
            "INTERRUPTION) HOWEVER CAUSED AND ON ANY THEORY OF LIABILITY, WHETHER IN CONTRACT, STRICT LIABILITY, OR "
            "TORT (INCLUDING NEGLIGENCE OR OTHERWISE) ARISING IN ANY WAY OUT OF THE USE OF THIS SOFTWARE, EVEN IF "
            "ADVISED OF THE POSSIBILITY OF SUCH DAMAGE.\n";
    return text;
}
