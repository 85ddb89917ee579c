#include "app/HerdLayout.h"

#include "herd/GaussianHerdCreator.h"
#include "herd/GridHerdCreator.h"
#include "herd/LineHerdCreator.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>

const std::array<HerdLayout, 3>& herdLayouts()
{
    static const std::array<HerdLayout, 3> layouts = {{
        {kRoundLayout, "Round"},
        {kRectangularLayout, "Rectangular"},
        {kGridLayout, "Grid"},
    }};
    return layouts;
}

HerdLayoutFields fieldsShownBy(int layoutKey)
{
    assert(layoutKey == kRoundLayout || layoutKey == kRectangularLayout || layoutKey == kGridLayout);
    if (layoutKey == kGridLayout) return {false, true, true, false};
    return {true, false, false, layoutKey == kRectangularLayout};
}

std::optional<long> parseWholeNumber(std::string_view text)
{
    // from_chars takes no '+', which users may type; one sign at most, and not alone.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) return std::nullopt;
    }
    if (text.empty()) return std::nullopt;
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 10);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

namespace {

std::string rangeMessage(const char* field, long lowest, long highest)
{
    return std::string(field) + " must be a whole number from " + std::to_string(lowest) + " to " +
           std::to_string(highest) + ".";
}

// The field's value when it is a whole number in [lowest, highest], else the message.
std::variant<long, std::string> readField(const char* field, const std::string& text, long lowest, long highest)
{
    const std::optional<long> value = parseWholeNumber(text);
    if (!value || *value < lowest || *value > highest) return rangeMessage(field, lowest, highest);
    return *value;
}

} // namespace

std::variant<HerdChoice, std::string> readHerdChoice(int layoutKey, const HerdFieldTexts& texts)
{
    const HerdLayoutFields shown = fieldsShownBy(layoutKey);
    HerdChoice choice;
    choice.layout = layoutKey;
    if (shown.animalCount) {
        const auto count = readField("Animal count", texts.animalCount, 0, kMaxAnimals);
        if (const auto* message = std::get_if<std::string>(&count)) return *message;
        choice.animalCount = static_cast<unsigned>(std::get<long>(count));
    }
    if (shown.rows) {
        const auto rows = readField("Rows", texts.rows, 1, kMaxAnimals);
        if (const auto* message = std::get_if<std::string>(&rows)) return *message;
        choice.rows = static_cast<int>(std::get<long>(rows));
    }
    if (shown.columns) {
        const auto columns = readField("Columns", texts.columns, 1, kMaxAnimals);
        if (const auto* message = std::get_if<std::string>(&columns)) return *message;
        choice.columns = static_cast<int>(std::get<long>(columns));
        if (static_cast<long>(choice.rows) * choice.columns > kMaxAnimals)
            return "A grid holds at most " + std::to_string(kMaxAnimals) + " animals; " + std::to_string(choice.rows) +
                   " rows of " + std::to_string(choice.columns) + " are too many.";
    }
    if (shown.width) {
        const auto width = readField("Width", texts.width, 0, kMaxWidth);
        if (const auto* message = std::get_if<std::string>(&width)) return *message;
        choice.width = static_cast<double>(std::get<long>(width));
    }
    return choice;
}

std::shared_ptr<HerdCreator> makeHerdCreator(const HerdChoice& choice)
{
    switch (choice.layout) {
    case kRectangularLayout: return std::make_shared<LineHerdCreator>(0.5 * choice.width);
    case kGridLayout: return std::make_shared<GridHerdCreator>(choice.rows, choice.columns);
    default: return std::make_shared<GaussianHerdCreator>();
    }
}

CreatorFields creatorFields(const HerdCreator& creator)
{
    CreatorFields fields;
    if (const auto* grid = dynamic_cast<const GridHerdCreator*>(&creator)) {
        fields.layout = kGridLayout;
        fields.rows = std::to_string(grid->rows());
        fields.columns = std::to_string(grid->columns());
    } else if (const auto* line = dynamic_cast<const LineHerdCreator*>(&creator)) {
        fields.layout = kRectangularLayout;
        // Truncated like the width was typed: a whole number. Clamped so that a creator made
        // elsewhere with an absurd half-width cannot overflow the conversion.
        double width = std::trunc(2.0 * line->halfWidth());
        if (!std::isfinite(width)) width = 0.0;
        fields.width = std::to_string(static_cast<long long>(std::clamp(width, -1e15, 1e15)));
    }
    // Gaussian and single creators show as Round with the fields as they were.
    return fields;
}
