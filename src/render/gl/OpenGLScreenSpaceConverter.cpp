#include "render/gl/OpenGLScreenSpaceConverter.h"

#include "render/gl/GLState.h"

OpenGLScreenSpaceConverter::OpenGLScreenSpaceConverter()
    : m_converter(GLState::modelview(), GLState::projection(), GLState::viewport())
{
}
