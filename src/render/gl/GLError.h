#pragma once

#include <string>

// Throws OpenGLException when GL has recorded an error, naming the operation after which it
// was seen and every pending error code (all are drained, so the next check starts clean).
// Needs a current context.
void checkGLError(const std::string& operation);

// Throws OpenGLException for an error already taken from glGetError, naming the operation,
// that error and any others still pending.
[[noreturn]] void throwGLError(const std::string& operation, unsigned error);
