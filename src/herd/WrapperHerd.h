#pragma once

#include "herd/Herd.h"

// The animals of another herd shown with another skin: the view draws each level's shadow
// skin this way. Holds no animals of its own; it shares the wrapped herd, and reports boxes
// of its own skin so that culling matches what is drawn.
class WrapperHerd : public Herd {
public:
    WrapperHerd(std::shared_ptr<Herd> wrapped, std::shared_ptr<Skin> skin);

    // Asks the wrapped herd.
    bool intersects(const BoundingBox& box) const override;
    // The wrapped herd owns time and animals; these do nothing here.
    void setFrame(int frame, bool moving) override;
    void addAnimal(const HerdCollection& collection) override;
    void removeAnimal() override;
    unsigned instanceCount() const override;
    // The wrapped herd's instance i with the box of this herd's skin under its transform.
    HerdInstance instance(unsigned i) const override;

    const std::shared_ptr<Herd>& wrappedHerd() const { return m_wrapped; }

private:
    std::shared_ptr<Herd> m_wrapped;
};
