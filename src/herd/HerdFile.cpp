#include "herd/HerdFile.h"

#include "foundation/AtomicFile.h"
#include "foundation/Exception.h"
#include "herd/GaussianRandomHerd.h"
#include "herd/HerdScene.h"
#include "skin/Skin.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <istream>
#include <map>
#include <ostream>
#include <sstream>

namespace {

bool isSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string lineMessage(int lineNumber, const std::string& path)
{
    std::ostringstream message;
    message << "Invalid line " << lineNumber << " in file '" << path << "'";
    return message.str();
}

// Reads one line as istream::getline into a buffer of kMaxLineLength + 1 characters would:
// at most kMaxLineLength characters, the line feed consumed but not stored, end of file and
// an overlong line leaving the stream no longer good. Returns false for an overlong line.
bool readLine(std::istream& in, std::string& line)
{
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    std::ios::iostate state = std::ios::goodbit;
    bool complete = true;
    for (;;) {
        const int c = buffer->sgetc();
        if (c == std::char_traits<char>::eof()) {
            state |= std::ios::eofbit;
            if (line.empty()) state |= std::ios::failbit;
            break;
        }
        if (c == '\n') {
            buffer->sbumpc();
            break;
        }
        if (line.size() == HerdFile::kMaxLineLength) {
            state |= std::ios::failbit;
            complete = false;
            break;
        }
        line.push_back(static_cast<char>(c));
        buffer->sbumpc();
    }
    in.setstate(state);
    return complete;
}

// Scans a real number at pos, as the line grammar takes it: optional sign, digits with an
// optional fraction (either side of the point may be empty, not both), then an optional
// exponent, which must have digits once an 'e' is there. Returns the end, or pos on no match.
std::size_t scanReal(const std::string& s, std::size_t pos)
{
    std::size_t i = pos;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return pos;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        const std::size_t exponentStart = j;
        while (j < s.size() && isDigit(s[j])) ++j;
        if (j == exponentStart) return pos;
        i = j;
    }
    return i;
}

// The value of a scanned real, rounded to float; infinite when out of float range.
float realValue(const std::string& s, std::size_t begin, std::size_t end)
{
    if (s[begin] == '+') ++begin; // from_chars takes no plus sign
    double value = 0.0;
    const auto result = std::from_chars(s.data() + begin, s.data() + end, value);
    if (result.ec != std::errc::result_out_of_range) return static_cast<float>(value);
    // Beyond double range: decide between "tiny" (rounds to zero) and "huge" from the decimal
    // magnitude, the position of the first significant digit plus the exponent.
    long magnitude = 0;
    bool seenPoint = false, seenSignificant = false;
    std::size_t i = begin;
    if (s[i] == '-') ++i;
    for (; i < end && s[i] != 'e' && s[i] != 'E'; ++i) {
        if (s[i] == '.') {
            seenPoint = true;
        } else if (!seenSignificant && s[i] == '0') {
            if (seenPoint) --magnitude;
        } else {
            seenSignificant = true;
            if (!seenPoint) ++magnitude;
        }
    }
    long exponent = 0;
    if (i < end) {
        ++i;
        const bool negative = s[i] == '-';
        if (s[i] == '+' || s[i] == '-') ++i;
        for (; i < end; ++i) exponent = std::min(exponent * 10 + (s[i] - '0'), 100000000L);
        if (negative) exponent = -exponent;
    }
    return magnitude + exponent > 0 ? INFINITY : 0.0f;
}

// What a skin line must look like so that reading it back gives the same path.
std::string storableSkinPath(const Skin& skin, const std::string& path)
{
    const std::string& name = skin.fileName();
    auto refuse = [&](const std::string& why) {
        throw IOException("Cannot save the herd of skin '" + (name.empty() ? skin.name() : name) + "' in '" + path +
                          "': " + why);
    };
    if (name.empty()) refuse("the skin was not read from a file.");
    if (name.find_first_of("\n\r") != std::string::npos) refuse("its file name holds a line break.");
    if (isSpace(name.back())) refuse("its file name ends in white space, which herd files drop.");
    // A relative path starting with a digit would read back as an instance line.
    std::string line = isDigit(name.front()) ? "./" + name : name;
    if (line.size() > HerdFile::kMaxLineLength) refuse("its file name is longer than a herd file line may be.");
    return line;
}

} // namespace

HerdFile::InstanceLine HerdFile::parseInstanceLine(const std::string& line, int lineNumber, const std::string& path)
{
    InstanceLine result;
    std::size_t pos = 0;
    std::uint64_t offset = 0;
    bool offsetFits = true;
    while (pos < line.size() && isDigit(line[pos])) {
        offset = offset * 10 + static_cast<unsigned>(line[pos] - '0');
        if (offset > 0xFFFFFFFFu) offsetFits = false, offset = 0xFFFFFFFFu;
        ++pos;
    }
    std::size_t count = 0;
    std::size_t badEntry = 0;
    if (offsetFits) {
        for (;;) {
            while (pos < line.size() && isSpace(line[pos])) ++pos;
            const std::size_t end = scanReal(line, pos);
            if (end == pos) break;
            if (count < 16) {
                const float value = realValue(line, pos, end);
                result.transform[count] = value;
                if (!std::isfinite(value) && badEntry == 0) badEntry = count + 1;
            }
            ++count;
            pos = end;
        }
    }
    if (count == 0) throw HerdFileException(lineMessage(lineNumber, path) + ".");
    if (count != 16) {
        std::ostringstream message;
        message << lineMessage(lineNumber, path) << ": expected 16 entries and found " << count;
        throw HerdFileException(message.str());
    }
    if (badEntry != 0) {
        // A transform beyond float range would turn the animal's box into infinities and NaNs.
        std::ostringstream message;
        message << lineMessage(lineNumber, path) << ": entry " << badEntry
                << " is too large for a single-precision number.";
        throw HerdFileException(message.str());
    }
    result.offset = static_cast<std::uint32_t>(offset);
    return result;
}

void HerdFile::load(HerdScene& scene, const std::string& path, const SkinFileLoader& loader)
{
    std::ifstream in;
    std::error_code error;
    // A directory opens on Linux and then reads nothing, which would pass for an empty herd.
    if (!std::filesystem::is_directory(path, error)) in.open(path);
    if (!in.is_open()) throw HerdFileException("Unable to open file '" + path + "' for reading.\n");
    load(scene, in, path, loader);
}

void HerdFile::load(HerdScene& scene, std::istream& in, const std::string& path, const SkinFileLoader& loader)
{
    scene.clear();
    read(scene, in, path, loader);
}

void HerdFile::read(HerdScene& scene, std::istream& in, const std::string& path, const SkinFileLoader& loader)
{
    // Animals read from the file are filed in their herds' grids once reading ends, however
    // it ends; otherwise the next animal placed would not see them and could land on them.
    struct RebuildLoaded {
        HerdScene& scene;
        ~RebuildLoaded()
        {
            for (const auto& herd : scene.herds())
                if (auto gaussian = std::dynamic_pointer_cast<GaussianRandomHerd>(herd->wrappedHerd()))
                    if (gaussian->isStale()) gaussian->rebuild();
        }
    } rebuildLoaded{scene};

    std::shared_ptr<GaussianRandomHerd> current;
    // Skins already read, by the name their line gave: a file naming one skin many times
    // reads and keeps it once.
    std::map<std::string, SkinFile> skinFiles;
    unsigned herds = 0;
    unsigned animals = 0;
    const auto tooMany = [&](int lineNumber, const std::string& what, unsigned limit) {
        return HerdFileException(lineMessage(lineNumber, path) + ": a herd file may hold at most " + std::to_string(limit) +
                           " " + what + ".");
    };
    std::string line;
    int lineNumber = 0;
    while (in.good()) {
        const bool complete = readLine(in, line);
        ++lineNumber;
        std::size_t last = line.size();
        while (last > 0 && isSpace(line[last - 1])) --last;
        if (last == 0) {
            if (!complete) break;
            continue;
        }
        if (isDigit(line[0])) {
            const InstanceLine instance = parseInstanceLine(line, lineNumber, path);
            if (!current) throw HerdFileException(lineMessage(lineNumber, path) + ": expected skin filename.");
            if (++animals > kMaxAnimals) throw tooMany(lineNumber, "animals", kMaxAnimals);
            Matrix4f placement;
            for (int k = 0; k < 16; ++k) placement.m[k] = instance.transform[k];
            current->addInstance(instance.offset, placement);
        } else {
            const std::string skinPath = line.substr(0, last);
            if (++herds > kMaxHerds) throw tooMany(lineNumber, "herds", kMaxHerds);
            auto known = skinFiles.find(skinPath);
            if (known == skinFiles.end()) {
                SkinFile skins = loader(skinPath);
                if (skins.skins.empty()) throw CreationException("The file '" + skinPath + "' holds no skin.");
                known = skinFiles.emplace(skinPath, std::move(skins)).first;
            }
            const SkinFile& skins = known->second;
            const auto herd = scene.addSkin(skins.skins, skins.directory);
            current = std::dynamic_pointer_cast<GaussianRandomHerd>(herd->wrappedHerd());
        }
        if (!complete) break;
    }
}

void HerdFile::write(const HerdScene& scene, const std::string& path)
{
    // Everything is checked before the file is touched, so a refused save changes nothing.
    std::vector<std::pair<std::string, std::shared_ptr<GaussianRandomHerd>>> records;
    for (const auto& herd : scene.herds()) {
        const Skin& skin = *herd->skin();
        auto gaussian = std::dynamic_pointer_cast<GaussianRandomHerd>(herd->wrappedHerd());
        if (!gaussian)
            throw IOException("Cannot save the herd of skin '" + (skin.fileName().empty() ? skin.name() : skin.fileName()) +
                              "' in '" + path + "': herd files store only randomly scattered (\"Round\") herds.");
        records.emplace_back(storableSkinPath(skin, path), std::move(gaussian));
    }

    try {
        writeFileAtomically(path, [&](std::ostream& out) {
            out.precision(8);
            for (const auto& [skinPath, herd] : records) {
                out << skinPath << '\n';
                const unsigned count = herd->instanceCount();
                for (unsigned i = 0; i < count; ++i) {
                    const HerdInstance instance = herd->instance(i);
                    out << instance.frame << ' ';
                    for (float value : instance.transform.m) out << ' ' << value;
                    out << '\n';
                }
            }
        });
    } catch (const FileWriteException& e) {
        if (e.stage() == FileWriteException::Stage::Creating)
            throw IOException("Unable to open file '" + path + "' for writing.\n");
        throw IOException("Error writing file '" + path + "': " + e.reason() + ".");
    }
}
