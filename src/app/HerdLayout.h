#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

class HerdCreator;

// What the herd properties dialog chooses, kept free of wx so that its rules can be tested
// without a display: the three layouts, which fields each one shows, how the field texts are
// read, and how a choice becomes a herd creator and a creator becomes field texts again.

// Layout keys, one per entry of the dialog's choice in entry order.
constexpr int kRoundLayout = 0;
constexpr int kRectangularLayout = 1;
constexpr int kGridLayout = 2;

struct HerdLayout {
    int key;
    const char* label;
};

// "Round", "Rectangular", "Grid", in the order the choice offers them.
const std::array<HerdLayout, 3>& herdLayouts();

// Which of the dialog's fields (each with its label) a layout shows.
struct HerdLayoutFields {
    bool animalCount;
    bool rows;
    bool columns;
    bool width;
    bool operator==(const HerdLayoutFields&) const = default;
};

// Grid shows "Rows" and "Columns"; the others show "Animal count", and Rectangular also
// "Width". A key outside the three is a caller error (checked with assert).
HerdLayoutFields fieldsShownBy(int layoutKey);

// The whole text as a decimal whole number: an optional sign then digits, nothing else (no
// spaces, no fraction, no exponent); nullopt otherwise or when it does not fit a long.
std::optional<long> parseWholeNumber(std::string_view text);

// Largest animal count, and largest rows x columns, that the dialog accepts: beyond this the
// herds would take minutes to build and gigabytes to hold.
constexpr long kMaxAnimals = 100000;
// Widest band the dialog accepts, in scene units.
constexpr long kMaxWidth = 100000;

// The texts of the dialog's four fields.
struct HerdFieldTexts {
    std::string animalCount;
    std::string rows;
    std::string columns;
    std::string width;
    bool operator==(const HerdFieldTexts&) const = default;
};

// A checked choice. Only the fields the layout shows are read: animalCount is empty for Grid,
// whose herds have the size of their grid; rows and columns are 0 and width 0 where unused.
struct HerdChoice {
    int layout = kRoundLayout;
    std::optional<unsigned> animalCount;
    int rows = 0;
    int columns = 0;
    double width = 0.0;
    bool operator==(const HerdChoice&) const = default;
};

// Reads the fields the layout shows. A text that is not a whole number, or a number out of
// range, gives the message to show the user instead (naming the field, e.g. "Rows must be a
// whole number from 1 to 100000."): animal count 0 to 100000, rows and columns at least 1
// with at most 100000 animals in the grid, width 0 to 100000.
std::variant<HerdChoice, std::string> readHerdChoice(int layoutKey, const HerdFieldTexts& texts);

// The creator the choice stands for: Round a GaussianHerdCreator, Rectangular a
// LineHerdCreator of half the width, Grid a GridHerdCreator of rows x columns.
std::shared_ptr<HerdCreator> makeHerdCreator(const HerdChoice& choice);

// How the dialog shows a creator: its layout, and the texts of the fields that describe it
// (others keep their text, so the members for them are empty). A line creator shows twice its
// half-width truncated to a whole number, so the width the user typed comes back; a single
// creator, which the choice does not offer, shows as Round.
struct CreatorFields {
    int layout = kRoundLayout;
    std::optional<std::string> rows;
    std::optional<std::string> columns;
    std::optional<std::string> width;
    bool operator==(const CreatorFields&) const = default;
};
CreatorFields creatorFields(const HerdCreator& creator);
