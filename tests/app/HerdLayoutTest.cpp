// The herd dialog's rules without the dialog: fields per layout, strict whole numbers, the
// checked choice, creators made from it and shown again; and the about box's credits.

#include "app/AboutText.h"
#include "app/HerdLayout.h"
#include "herd/GaussianHerdCreator.h"
#include "herd/GridHerdCreator.h"
#include "herd/LineHerdCreator.h"
#include "herd/SingleHerdCreator.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

HerdChoice chosen(int layout, const HerdFieldTexts& texts)
{
    const auto read = readHerdChoice(layout, texts);
    if (const auto* message = std::get_if<std::string>(&read)) ADD_FAILURE() << "rejected: " << *message;
    return std::get_if<HerdChoice>(&read) ? std::get<HerdChoice>(read) : HerdChoice{};
}

std::string rejection(int layout, const HerdFieldTexts& texts)
{
    const auto read = readHerdChoice(layout, texts);
    const auto* message = std::get_if<std::string>(&read);
    return message ? *message : "(accepted)";
}

} // namespace

TEST(HerdLayoutTest, ChoiceOffersRoundRectangularGridWithKeysInEntryOrder)
{
    const auto& layouts = herdLayouts();
    ASSERT_EQ(layouts.size(), 3u);
    EXPECT_EQ(std::string(layouts[0].label), "Round");
    EXPECT_EQ(std::string(layouts[1].label), "Rectangular");
    EXPECT_EQ(std::string(layouts[2].label), "Grid");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(layouts[i].key, i);
}

TEST(HerdLayoutTest, GridShowsRowsAndColumnsTheOthersTheAnimalCountAndRectangularTheWidth)
{
    EXPECT_EQ(fieldsShownBy(kRoundLayout), (HerdLayoutFields{true, false, false, false}));
    EXPECT_EQ(fieldsShownBy(kRectangularLayout), (HerdLayoutFields{true, false, false, true}));
    EXPECT_EQ(fieldsShownBy(kGridLayout), (HerdLayoutFields{false, true, true, false}));
}

TEST(WholeNumberTest, AcceptsOnlyAWholeDecimalNumber)
{
    EXPECT_EQ(parseWholeNumber("50"), 50);
    EXPECT_EQ(parseWholeNumber("0"), 0);
    EXPECT_EQ(parseWholeNumber("-7"), -7);
    EXPECT_EQ(parseWholeNumber("+7"), 7);
    EXPECT_EQ(parseWholeNumber("007"), 7);
    for (const char* text : {"", " ", "+", "-", "++7", "+-7", "7 ", " 7", "7.0", "7.5", "1e3", "0x10", "ten", "7a",
                             "99999999999999999999999"})
        EXPECT_EQ(parseWholeNumber(text), std::nullopt) << '"' << text << '"';
    EXPECT_EQ(parseWholeNumber(std::to_string(LONG_MAX)), LONG_MAX);
}

TEST(HerdChoiceTest, ReadsOnlyTheFieldsTheLayoutShows)
{
    // Hidden fields may hold anything: the user cannot see or mend them.
    EXPECT_EQ(chosen(kRoundLayout, {"25", "x", "y", "z"}), (HerdChoice{kRoundLayout, 25u, 0, 0, 0.0}));
    EXPECT_EQ(chosen(kRectangularLayout, {"12", "x", "y", "50"}), (HerdChoice{kRectangularLayout, 12u, 0, 0, 50.0}));
    EXPECT_EQ(chosen(kGridLayout, {"not shown", "7", "3", "z"}), (HerdChoice{kGridLayout, std::nullopt, 7, 3, 0.0}));
    // Zero animals is a valid count: it empties the herds (and is what an empty view shows).
    EXPECT_EQ(chosen(kRoundLayout, {"0", "", "", ""}).animalCount, 0u);
    EXPECT_EQ(chosen(kRoundLayout, {"100000", "", "", ""}).animalCount, 100000u);
    EXPECT_EQ(chosen(kRectangularLayout, {"1", "", "", "0"}).width, 0.0);
}

TEST(HerdChoiceTest, RejectsTextsThatAreNoWholeNumberOrOutOfRangeNamingTheField)
{
    EXPECT_EQ(rejection(kRoundLayout, {"12.5", "", "", ""}), "Animal count must be a whole number from 0 to 100000.");
    EXPECT_EQ(rejection(kRoundLayout, {"", "10", "10", "50"}), "Animal count must be a whole number from 0 to 100000.");
    // A negative count would otherwise wrap to four billion animals.
    EXPECT_EQ(rejection(kRoundLayout, {"-1", "", "", ""}), "Animal count must be a whole number from 0 to 100000.");
    EXPECT_EQ(rejection(kRoundLayout, {"100001", "", "", ""}), "Animal count must be a whole number from 0 to 100000.");
    EXPECT_EQ(rejection(kRectangularLayout, {"10", "", "", "wide"}), "Width must be a whole number from 0 to 100000.");
    EXPECT_EQ(rejection(kRectangularLayout, {"10", "", "", "-4"}), "Width must be a whole number from 0 to 100000.");
    EXPECT_EQ(rejection(kGridLayout, {"", "0", "3", ""}), "Rows must be a whole number from 1 to 100000.");
    EXPECT_EQ(rejection(kGridLayout, {"", "7", "three", ""}), "Columns must be a whole number from 1 to 100000.");
    // Each factor in range, the product not: the grid would be built at once.
    EXPECT_EQ(rejection(kGridLayout, {"", "1000", "1000", ""}),
              "A grid holds at most 100000 animals; 1000 rows of 1000 are too many.");
    EXPECT_EQ(chosen(kGridLayout, {"", "1000", "100", ""}).rows, 1000);
}

TEST(HerdCreatorFieldsTest, ChoicesMakeTheirCreatorsAndCreatorsShowTheirChoicesAgain)
{
    const auto round = makeHerdCreator({kRoundLayout, 10u, 0, 0, 0.0});
    EXPECT_TRUE(round->equals(GaussianHerdCreator()));

    // Width 50 is a half-width of 25, and shows as 50 again.
    const auto line = makeHerdCreator({kRectangularLayout, 10u, 0, 0, 50.0});
    EXPECT_TRUE(line->equals(LineHerdCreator(25.0)));
    EXPECT_EQ(creatorFields(*line), (CreatorFields{kRectangularLayout, std::nullopt, std::nullopt, "50"}));
    // An odd width halves to a fraction; truncating twice of it gives the width back.
    EXPECT_EQ(creatorFields(*makeHerdCreator({kRectangularLayout, 1u, 0, 0, 51.0})).width, "51");

    const auto grid = makeHerdCreator({kGridLayout, std::nullopt, 7, 3, 0.0});
    EXPECT_TRUE(grid->equals(GridHerdCreator(7, 3)));
    EXPECT_FALSE(grid->equals(GridHerdCreator(3, 7)));
    EXPECT_EQ(creatorFields(*grid), (CreatorFields{kGridLayout, "7", "3", std::nullopt}));

    // Round leaves every field as it was; so does a single-animal creator, shown as Round.
    EXPECT_EQ(creatorFields(GaussianHerdCreator()), CreatorFields{});
    EXPECT_EQ(creatorFields(SingleHerdCreator()), CreatorFields{});
}

TEST(AboutTextTest, CreditsTheLinkedLibrariesInOrderAndEndsWithTheDisclaimer)
{
    const std::string text = aboutText();
    EXPECT_EQ(text.rfind("Flexherd v1.1\n", 0), 0u);
    const std::string separator = "\n\n----\nThis program contains code from the following libraries:\n";
    const auto libraries = text.find(separator);
    ASSERT_NE(libraries, std::string::npos);
    // The program's web-page line has no line feed of its own before the separator.
    EXPECT_NE(text[libraries - 1], '\n');
    std::size_t at = libraries;
    for (const char* title : {"GLEW: The OpenGL Extension Wrangler Library\n", "\nwxWidgets\n",
                              "\nBoost C++ Libraries\n", "\nfreeglut\n", "\nOpenBLAS, with LAPACK\n"}) {
        const auto found = text.find(title, at);
        EXPECT_NE(found, std::string::npos) << title;
        if (found != std::string::npos) at = found;
    }
    // The viewer has its own strip builder and vector types: no code of these is in it.
    EXPECT_EQ(text.find("Tri Stripper"), std::string::npos);
    EXPECT_EQ(text.find("VL: Vector Library"), std::string::npos);
    const std::string disclaimer = "EVEN IF ADVISED OF THE POSSIBILITY OF SUCH DAMAGE.\n";
    ASSERT_GE(text.size(), disclaimer.size());
    EXPECT_EQ(text.substr(text.size() - disclaimer.size()), disclaimer);
    EXPECT_NE(text.find("\n\nTHIS SOFTWARE IS PROVIDED BY THE COPYRIGHT HOLDERS"), std::string::npos);
}
