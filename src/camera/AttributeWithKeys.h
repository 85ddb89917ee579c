#pragma once

#include "camera/KeyableAttribute.h"
#include "camera/NaturalCubicSpline.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A camera parameter driven by key animation: a list of keys (frame, value) and the natural
// cubic spline through them. Told a frame, it writes the spline's value into the parameter
// between the first and last key, and the end key's value outside.
//
// Keys are always held in increasing time order with at most one key per time: lists given
// or read out of order are sorted, and of several keys at one time the last given wins. The
// spline needs distinct, ordered times (equal times divide by zero), and a file edited by
// hand or written by another tool may not provide them.
//
// Shares the keyable with the camera's keyable list; owns its keys and spline.
class AttributeWithKeys {
public:
    struct Key {
        float time = 0.0f; // a whole frame number when read from a keys file
        float value = 0.0f;
        bool operator==(const Key&) const = default;
    };

    explicit AttributeWithKeys(std::shared_ptr<KeyableAttribute<float>> keyable);

    // Sets the keyable from the keys at the frame; nothing without keys. Throws
    // LinearAlgebraException when the spline cannot be made (no spline is kept then).
    void apply(float frame);
    // The time of the last key, 0 without keys.
    float endTime() const;

    // Replaces the keys (sorted, equal times merged, NaN times dropped) and drops the spline.
    void setKeys(std::vector<Key> keys);
    const std::vector<Key>& keys() const { return m_keys; }

    // Most keys a key list may hold: at 30 frames a second, one key a frame for over two
    // hours. With the spline made from them, about 10 MiB per attribute.
    static constexpr std::uint32_t kMaxKeys = std::uint32_t(1) << 18;

    const std::string& name() const { return m_name; }
    const std::shared_ptr<KeyableAttribute<float>>& keyable() const { return m_keyable; }
    bool hasSpline() const { return m_spline != nullptr; }

private:
    std::string m_name;
    std::shared_ptr<KeyableAttribute<float>> m_keyable;
    std::vector<Key> m_keys;
    std::unique_ptr<NaturalCubicSpline> m_spline;
};
