#pragma once

#include "herd/BoundsCheckable.h"
#include "herd/HerdInstance.h"

#include <memory>

class HerdCollection;
class Skin;

// A set of animals sharing one skin. Renderers ask for instanceCount() and then instance(i)
// in index order; the view sets the time, adds and removes animals and calls update() once
// before each drawn frame. Placing herds keep new animals clear of the scene through the
// collection passed to addAnimal.
//
// The skin is shared with the renderers and the view (it lives as long as its last user).
// Herds are held through std::shared_ptr by the view, the collection and wrapping herds.
// No operation reports errors; all run on the GUI thread.
class Herd : public BoundsCheckable {
public:
    explicit Herd(std::shared_ptr<Skin> skin);
    ~Herd() override;

    // Sets the herd's time to frame (never negative); moving tells walking herds to walk.
    virtual void setFrame(int frame, bool moving) = 0;
    // Places one more animal clear of every herd of the collection (if this kind can grow).
    virtual void addAnimal(const HerdCollection& collection) = 0;
    // Removes one animal (if this kind can shrink and holds any).
    virtual void removeAnimal() = 0;
    virtual unsigned instanceCount() const = 0;
    // The animal with index i < instanceCount(); callers never pass more.
    virtual HerdInstance instance(unsigned i) const = 0;
    // Called once per drawn frame before any renderer reads the herd; nothing by default.
    virtual void update();

    const std::shared_ptr<Skin>& skin() const { return m_skin; }

protected:
    // (offset + time) modulo the skin's frame count in unsigned arithmetic, 0 without frames:
    // how every herd turns an animal's start frame and the herd's time into a frame to show.
    std::uint32_t frameAt(std::uint32_t offset, int time) const;

private:
    std::shared_ptr<Skin> m_skin;
};
