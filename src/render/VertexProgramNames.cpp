#include "render/VertexProgramNames.h"

#include "foundation/Exception.h"

char componentLetter(unsigned component)
{
    switch (component) {
    case 0: return 'x';
    case 1: return 'y';
    case 2: return 'z';
    case 3: return 'w';
    default: throw Exception("Shouldn't reach here");
    }
}

std::string attributeName(unsigned index)
{
    std::string name = "v";
    name += std::to_string(index);
    return name;
}

std::string scalarRead(unsigned index, unsigned component)
{
    return attributeName(index) + "." + componentLetter(component);
}

std::string replicatedRead(unsigned index, unsigned component)
{
    return attributeName(index) + "." + std::string(4, componentLetter(component));
}
