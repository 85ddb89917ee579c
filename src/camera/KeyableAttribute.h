#pragma once

#include <string>
#include <utility>

// A named parameter that key animation can read and write: the camera exposes each of its
// animatable floats as one, and AttributeWithKeys drives it from a key list. The name
// identifies the parameter in camera keys files.
template <typename T>
class KeyableAttribute {
public:
    explicit KeyableAttribute(std::string name) : m_name(std::move(name)) {}
    virtual ~KeyableAttribute() = default;

    // Stores a value into the parameter.
    virtual void set(const T& value) = 0;
    // Reads the parameter.
    virtual T get() const = 0;

    const std::string& name() const { return m_name; }

private:
    std::string m_name;
};
