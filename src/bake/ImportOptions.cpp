#include "bake/ImportOptions.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

std::string AxisDirection::text() const
{
    return std::string(sign < 0 ? "-" : "+") + "xyz"[axis];
}

std::optional<AxisDirection> AxisDirection::parse(const std::string& text)
{
    std::string_view rest = text;
    int sign = 1;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        sign = rest.front() == '-' ? -1 : 1;
        rest.remove_prefix(1);
    }
    if (rest.size() != 1) return std::nullopt;
    const char c = rest.front();
    if (c == 'x' || c == 'X') return AxisDirection{0, sign};
    if (c == 'y' || c == 'Y') return AxisDirection{1, sign};
    if (c == 'z' || c == 'Z') return AxisDirection{2, sign};
    return std::nullopt;
}

namespace {

std::string formatNumber(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

const std::string& valueOf(const std::vector<std::string>& args, std::size_t& i, const std::string& usage)
{
    if (i + 1 >= args.size()) throw std::invalid_argument(usage);
    return args[++i];
}

int wholeNumber(const std::string& text, int low, int high, const std::string& usage)
{
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < low || value > high)
        throw std::invalid_argument(usage);
    return value;
}

double positiveNumber(const std::string& text, double high, const std::string& usage)
{
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !(value > 0.0) || !(value <= high))
        throw std::invalid_argument(usage);
    return value;
}

} // namespace

std::vector<std::string> ImportOptions::arguments() const
{
    const ImportOptions defaults;
    std::vector<std::string> args;
    if (levels != defaults.levels) args.insert(args.end(), {"--levels", std::to_string(levels)});
    if (corrections != defaults.corrections) args.insert(args.end(), {"--corrections", std::to_string(corrections)});
    if (prt != defaults.prt) args.insert(args.end(), {"--prt", std::to_string(prt)});
    if (!shadow) args.push_back("--no-shadow");
    if (fps != defaults.fps) args.insert(args.end(), {"--fps", formatNumber(fps)});
    if (!animation.empty()) args.insert(args.end(), {"--animation", animation});
    if (up) args.insert(args.end(), {"--up", up->text()});
    if (forward) args.insert(args.end(), {"--forward", forward->text()});
    if (scale) args.insert(args.end(), {"--scale", formatNumber(*scale)});
    if (threads != 0) args.insert(args.end(), {"--threads", std::to_string(threads)});
    return args;
}

bool parseImportOption(const std::vector<std::string>& args, std::size_t& i, ImportOptions& options)
{
    const std::string& name = args[i];
    if (name == "--levels") {
        options.levels = wholeNumber(valueOf(args, i, "--levels needs a whole number from 1 to 8"), 1, 8,
                                     "--levels needs a whole number from 1 to 8");
    } else if (name == "--corrections") {
        options.corrections = wholeNumber(valueOf(args, i, "--corrections needs a whole number from 0 to 64"), 0, 64,
                                          "--corrections needs a whole number from 0 to 64");
    } else if (name == "--prt") {
        options.prt = wholeNumber(valueOf(args, i, "--prt needs a whole number from 0 to 64"), 0, 64,
                                  "--prt needs a whole number from 0 to 64");
    } else if (name == "--no-shadow") {
        options.shadow = false;
    } else if (name == "--fps") {
        options.fps = positiveNumber(valueOf(args, i, "--fps needs a rate above 0 and at most 1000"), 1000.0,
                                     "--fps needs a rate above 0 and at most 1000");
    } else if (name == "--animation") {
        options.animation = valueOf(args, i, "--animation needs a name or an index");
        if (options.animation.empty()) throw std::invalid_argument("--animation needs a name or an index");
    } else if (name == "--up" || name == "--forward") {
        const std::string usage = name + " needs an axis: x, y or z with an optional sign (+y, -z)";
        const std::optional<AxisDirection> axis = AxisDirection::parse(valueOf(args, i, usage));
        if (!axis) throw std::invalid_argument(usage);
        (name == "--up" ? options.up : options.forward) = *axis;
    } else if (name == "--scale") {
        options.scale = positiveNumber(valueOf(args, i, "--scale needs a factor above 0 (metres per file unit)"), 1e9,
                                       "--scale needs a factor above 0 (metres per file unit)");
    } else if (name == "--threads") {
        options.threads = static_cast<unsigned>(wholeNumber(valueOf(args, i, "--threads needs a whole number from 0 to 256"), 0,
                                                            256, "--threads needs a whole number from 0 to 256"));
    } else {
        return false;
    }
    return true;
}

const char* importOptionsHelp()
{
    return "  --levels N          levels of detail, each with about a quarter of the triangles (default 3)\n"
           "  --corrections K     displacement and normal corrections per level (default 8; 0 for none)\n"
           "  --prt K             PRT lighting vectors per level (default 16; 0 for none)\n"
           "  --no-shadow         no shadow skin\n"
           "  --fps RATE          animation sampling rate (default 30)\n"
           "  --animation NAME|INDEX\n"
           "                      the animation to bake (default the first)\n"
           "  --up AXIS           the model's up axis: x, y or z with an optional sign (default from the file, else +y)\n"
           "  --forward AXIS      the way the model faces (default from the file, else +z; -y for a +z up axis)\n"
           "  --scale FACTOR      metres per file unit (default from the file, else 1)\n"
           "  --threads N         threads for the baking (default 0: one per processor; the result is the same)\n";
}
