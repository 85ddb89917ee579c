#pragma once

// How the generated vertex programs name attributes and their components. Attribute i is
// always named "v" i, so a declaration, a read and the renderer's glVertexAttribPointerARB
// call all agree on one number.

#include <string>

// "x", "y", "z" or "w" for components 0-3. Throws Exception "Shouldn't reach here" for any
// other number: a record never has more than four components.
char componentLetter(unsigned component);

// "v" followed by the index in decimal (attribute 7 is v7).
std::string attributeName(unsigned index);

// A scalar read of one component, e.g. "v1.y".
std::string scalarRead(unsigned index, unsigned component);

// One component replicated as a vector operand, e.g. "v1.yyyy".
std::string replicatedRead(unsigned index, unsigned component);
