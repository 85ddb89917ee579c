#pragma once

#include <string>
#include <utility>

// Base of the OBJ model classes: something with a name.
class Named {
public:
    explicit Named(std::string name) : m_name(std::move(name)) {}
    virtual ~Named() = default;

    std::string name() const { return m_name; }

private:
    std::string m_name;
};
