#pragma once

#include <string>
#include <utility>

// Base of the OBJ model classes: something with a name.
class Named {
public:
    explicit Named(std::string name) : m_name(std::move(name)) {}
    virtual ~Named() = default;
    // Declared because the destructor is: without them a group of faces sorted by name would be
    // copied, corners and all, at every step of the sort.
    Named(const Named&) = default;
    Named(Named&&) noexcept = default;
    Named& operator=(const Named&) = default;
    Named& operator=(Named&&) noexcept = default;

    const std::string& name() const { return m_name; }

private:
    std::string m_name;
};
