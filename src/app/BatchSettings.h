#pragma once

#include "app/BatchOptions.h"
#include "viewer/PlainViewSettings.h"

#include <functional>
#include <string>

class HerdScene;
class ViewerCore;

// The settings of a batch run without a window: the command line's menu choices applied to
// plain fields by the rules the menus keep, so the answers are the ones the main frame's menus
// would give after the same clicks. Errors go to report(caption, message) with the captions
// and messages the window's batch mode shows.
class BatchSettings : public PlainViewSettings {
public:
    using Report = std::function<void(const std::string& caption, const std::string& message)>;

    // Sets one item as a click on it would; false when the menus would have it disabled by the
    // settings before it ("Display lists" without "Use vertex program"). A camera item makes
    // that camera current in core.
    bool choose(const MenuChoice& choice, ViewerCore& core);

    // The choices that need no loaded files, in command-line order: a disabled item is
    // reported under "Invalid option".
    void applyStartupChoices(const BatchOptions& options, ViewerCore& core, const Report& report);
    // After loading, as the menus are remade from the loaded skins: the corrections at their
    // defaults (2 vertex, 2 normal and 7 PRT corrections where the skins have that many), then
    // the fixed detail level (a level the herds lack is reported under "Invalid option"), the
    // animal count (else the top-up to ten) and the start frame.
    void applyLoadedChoices(const BatchOptions& options, ViewerCore& core, const Report& report);

    // What remaking the count menus does to the settings: each correction count becomes the
    // smaller of its default and the most the skins in use hold, and a fixed level falls back
    // to "View-dependent (moderate)".
    void resetCountsFor(const HerdScene& scene);
};
