#pragma once

#include "render/RenderSettings.h"

// "Background": the clear colour, or the sky sphere.
enum class BackgroundMode { White = 0, LightGray = 1, DarkGray = 2, Blue = 3, Black = 4, Sky = 5 };

// "LOD": how herds pick their levels of detail. Fixed uses fixedDetailLevel().
enum class DetailMode { Aggressive = 2, Moderate = 1, Conservative = 0, Fixed = 3 };

// The choices the GL view reads at the moment it draws or steps the animation, on top of the
// renderers' RenderSettings. The main frame answers them from its menu check states, so the
// menus stay the one settings store; nothing is copied into the view.
class ViewSettings : public RenderSettings {
public:
    // "Use vertex program": draw with the hardware renderers.
    virtual bool useVertexProgram() const = 0;
    virtual BackgroundMode backgroundMode() const = 0;
    virtual bool groundPlane() const = 0;
    // "Shadows" is checked (they are drawn only with PRT lighting and shadow skins).
    virtual bool shadows() const = 0;
    virtual DetailMode detailMode() const = 0;
    // The fixed level chosen in "LOD", 0 when none is.
    virtual unsigned fixedDetailLevel() const = 0;
    // "&Running": idle events advance the animation.
    virtual bool running() const = 0;
    virtual void setRunning(bool running) = 0;
    // "Moving": animals walk forward as they animate.
    virtual bool moving() const = 0;
    // "Impostors for distant animals": in the view-dependent modes, animals whose box is less
    // than impostorPixels() tall on screen are drawn as impostors.
    virtual bool impostors() const = 0;
    virtual unsigned impostorPixels() const = 0;

    // The switch height when none is chosen.
    static constexpr unsigned kDefaultImpostorPixels = 64;
};
