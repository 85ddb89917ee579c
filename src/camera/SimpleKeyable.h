#pragma once

#include "camera/KeyableAttribute.h"

#include <memory>

// A keyable bound to one field of its owner (a camera's azimuth, say): set and get go straight
// through a pointer to the field. The owner may be handed in as a keep-alive, so that a key
// animation holding the keyable can never write into a destroyed camera; without one, the
// owner must outlive the keyable's use.
template <typename T>
class SimpleKeyable : public KeyableAttribute<T> {
public:
    SimpleKeyable(std::string name, T* field, std::shared_ptr<const void> owner = nullptr)
        : KeyableAttribute<T>(std::move(name)), m_field(field), m_owner(std::move(owner))
    {
    }

    void set(const T& value) override { *m_field = value; }
    T get() const override { return *m_field; }

private:
    T* m_field;
    std::shared_ptr<const void> m_owner;
};
