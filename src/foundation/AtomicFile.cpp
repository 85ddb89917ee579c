#include "foundation/AtomicFile.h"

#include "foundation/Exception.h"

#include <fstream>
#include <system_error>

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes)
{
    std::filesystem::path temporary = path;
    temporary += ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw IOException("Unable to open file '" + temporary.string() + "' for writing.");
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw IOException("Unable to write to file '" + path.string() + "'.");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        throw IOException("Unable to write to file '" + path.string() + "'.");
    }
}
