// The GL resource wrappers on a real context: what each owns and releases, what bindings do
// and undo, texture loading through the cache, and vertex programs with driver errors.

#include "GLSuite.h"
#include "TempDirectory.h"

#include "foundation/Exception.h"
#include "render/gl/ARBVertexBufferObject.h"
#include "render/gl/ARBVertexProgram.h"
#include "render/gl/GLBasicBuffer.h"
#include "render/gl/GLBasicMemoryManager.h"
#include "render/gl/GLDisplayList.h"
#include "render/gl/GLError.h"
#include "render/gl/GLState.h"
#include "render/gl/GLTextureCache.h"
#include "render/gl/VBOMemoryManager.h"

#include <GL/glew.h>
#include <wx/image.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

GLint binding(GLenum query)
{
    GLint value = -1;
    glGetIntegerv(query, &value);
    return value;
}

std::vector<std::uint8_t> bufferContents(const ARBVertexBufferObject& buffer)
{
    std::vector<std::uint8_t> bytes(buffer.size());
    const auto bound = buffer.bind();
    glGetBufferSubDataARB(buffer.target(), 0, static_cast<GLsizeiptrARB>(bytes.size()), bytes.data());
    return bytes;
}

// Pretends the driver lacks a GLEW flag for the lifetime of the object.
class WithoutExtension {
public:
    explicit WithoutExtension(GLboolean& flag) : m_flag(flag), m_saved(flag) { m_flag = GL_FALSE; }
    ~WithoutExtension() { m_flag = m_saved; }

private:
    GLboolean& m_flag;
    GLboolean m_saved;
};

// Writes a w x h PNG whose top row is red and every other row blue.
void writeTwoToneImage(const fs::path& path, int w, int h)
{
    wxImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (y == 0)
                image.SetRGB(x, y, 255, 0, 0);
            else
                image.SetRGB(x, y, 0, 0, 255);
        }
    ASSERT_TRUE(image.SaveFile(path.string(), wxBITMAP_TYPE_PNG));
}

const char* kValidProgram = "!!ARBvp1.0\n"
                            "# passes the position through\n"
                            "MOV result.position, vertex.position; # stays\n"
                            "END\n";

} // namespace

using GLResourcesTest = GLTest;

TEST_F(GLResourcesTest, BufferObjectsHoldACopyOnTheirTargetAndDeleteTheirName)
{
    const std::vector<float> vertices = {1, 2, 3, 4, 5, 6};
    const std::vector<std::uint16_t> indices = {0, 1, 2, 2, 1, 3};
    GLuint vertexName = 0;
    {
        ARBVertexBufferObject vertexBuffer(vertices.data(), vertices.size() * sizeof(float),
                                           GLMemoryManager::kVertexData);
        ARBVertexBufferObject indexBuffer(indices.data(), indices.size() * 2, GLMemoryManager::kIndexData);
        EXPECT_EQ(vertexBuffer.target(), static_cast<GLenum>(GL_ARRAY_BUFFER_ARB));
        EXPECT_EQ(indexBuffer.target(), static_cast<GLenum>(GL_ELEMENT_ARRAY_BUFFER_ARB));
        EXPECT_EQ(vertexBuffer.start(), nullptr);
        EXPECT_EQ(binding(GL_ARRAY_BUFFER_BINDING_ARB), 0) << "construction leaves nothing bound";

        const auto bytes = bufferContents(vertexBuffer);
        ASSERT_EQ(bytes.size(), vertices.size() * sizeof(float));
        EXPECT_EQ(std::memcmp(bytes.data(), vertices.data(), bytes.size()), 0);
        {
            const auto bound = indexBuffer.bind();
            EXPECT_EQ(binding(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB), static_cast<GLint>(indexBuffer.name()));
        }
        EXPECT_EQ(binding(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB), 0) << "unbound when the binding ends";
        vertexName = vertexBuffer.name();
        EXPECT_TRUE(glIsBufferARB(vertexName));
    }
    EXPECT_FALSE(glIsBufferARB(vertexName)) << "the name is deleted with its owner";
}

TEST_F(GLResourcesTest, BufferObjectsWithoutTheExtensionAreRefused)
{
    const float data[3] = {0, 0, 0};
    WithoutExtension missing(__GLEW_ARB_vertex_buffer_object);
    VBOMemoryManager manager;
    try {
        manager.allocate(data, sizeof data, GLMemoryManager::kVertexData);
        FAIL() << "no exception";
    } catch (const OpenGLException& e) {
        EXPECT_EQ(e.message(), "ARB_vertex_buffer_object not supported on this card.");
    }
}

TEST_F(GLResourcesTest, MemoryManagersMakeTheirKindOfBufferAndBuffersOutliveThem)
{
    const std::vector<std::uint16_t> indices = {3, 1, 4, 1, 5};
    std::shared_ptr<GLBuffer> basic, object;
    {
        GLBasicMemoryManager basicManager;
        VBOMemoryManager vboManager;
        basic = basicManager.allocate(indices.data(), indices.size() * 2, GLMemoryManager::kIndexData);
        object = vboManager.allocate(indices.data(), indices.size() * 2, GLMemoryManager::kVertexData);
    }
    ASSERT_NE(basic->start(), nullptr);
    EXPECT_NE(basic->start(), static_cast<const void*>(indices.data())) << "a copy, not the caller's memory";
    EXPECT_EQ(std::memcmp(basic->start(), indices.data(), indices.size() * 2), 0);
    {
        const auto bound = basic->bind();
        EXPECT_EQ(binding(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB), 0) << "client memory binds nothing";
    }
    auto* vbo = dynamic_cast<ARBVertexBufferObject*>(object.get());
    ASSERT_NE(vbo, nullptr);
    EXPECT_EQ(vbo->target(), static_cast<GLenum>(GL_ARRAY_BUFFER_ARB));
    const auto bytes = bufferContents(*vbo);
    EXPECT_EQ(std::memcmp(bytes.data(), indices.data(), bytes.size()), 0);
}

TEST_F(GLResourcesTest, DisplayListsRecordUntilTheRecorderEndsAlsoWhenAnExceptionPasses)
{
    GLuint name = 0;
    {
        GLDisplayList list;
        name = list.name();
        EXPECT_TRUE(glIsList(name));
        try {
            GLDisplayList::Recorder recorder(list);
            EXPECT_EQ(binding(GL_LIST_INDEX), static_cast<GLint>(name));
            glClearColor(1, 1, 0, 0);
            glClear(GL_COLOR_BUFFER_BIT);
            throw Exception("interrupted");
        } catch (const Exception&) {
        }
        EXPECT_EQ(binding(GL_LIST_INDEX), 0);
        const Rgb before = testWindow().pixel(5, 5);
        EXPECT_EQ(before, (Rgb{kBackground[0], kBackground[1], kBackground[2]})) << "compiled, not executed";
        list.call();
        EXPECT_EQ(testWindow().pixel(5, 5), (Rgb{255, 255, 0}));
    }
    EXPECT_FALSE(glIsList(name));
}

TEST_F(GLResourcesTest, ScopedStateIsUndoneAtTheEndOfItsScopeAndWhenAnExceptionPasses)
{
    glEnable(GL_BLEND);
    try {
        GLState::Enable fog(GL_FOG);
        GLState::Enable blend(GL_BLEND);
        GLState::Disable depth(GL_DEPTH_TEST);
        GLState::ClientArray vertices(GL_VERTEX_ARRAY);
        GLState::DepthWritesOff noDepthWrites;
        GLState::ModelviewPush push;
        glTranslatef(1, 2, 3);
        GLState::FrontPolygonMode lines(GL_LINE);
        EXPECT_TRUE(glIsEnabled(GL_FOG));
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
        EXPECT_EQ(binding(GL_MODELVIEW_STACK_DEPTH), 2);
        GLint modes[2];
        glGetIntegerv(GL_POLYGON_MODE, modes);
        EXPECT_EQ(modes[0], GL_LINE);
        throw OpenGLException("passing through");
    } catch (const OpenGLException&) {
    }
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_BLEND)) << "enabled before, so left enabled";
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_EQ(binding(GL_MODELVIEW_STACK_DEPTH), 1);
    GLint modes[2];
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
    glDisable(GL_BLEND);
}

TEST_F(GLResourcesTest, OverlaySpaceSpansTheWindowAndRestoresBothMatrices)
{
    const Matrix4f modelview = GLState::modelview();
    const Matrix4f projection = GLState::projection();
    {
        GLState::OverlaySpace overlay;
        GLState::Disable depth(GL_DEPTH_TEST);
        glColor3ub(255, 0, 0);
        // The right half of the window in overlay units, whatever its pixel size.
        GLState::Begin quad(GL_QUADS);
        glVertex2f(0, -100);
        glVertex2f(100, -100);
        glVertex2f(100, 100);
        glVertex2f(0, 100);
    }
    EXPECT_EQ(GLState::modelview(), modelview);
    EXPECT_EQ(GLState::projection(), projection);
    EXPECT_EQ(testWindow().pixel(kWidth / 2 + 2, kHeight / 2), (Rgb{255, 0, 0}));
    EXPECT_EQ(testWindow().pixel(kWidth - 1, kHeight - 1), (Rgb{255, 0, 0}));
    EXPECT_EQ(testWindow().pixel(kWidth / 2 - 2, kHeight / 2), (Rgb{kBackground[0], kBackground[1], kBackground[2]}));
}

TEST_F(GLResourcesTest, CheckGLErrorNamesTheOperationAndDrainsTheErrors)
{
    EXPECT_NO_THROW(checkGLError("nothing wrong"));
    glEnable(0x7fff);
    try {
        checkGLError("glEnable of a made-up capability");
        FAIL() << "no exception";
    } catch (const OpenGLException& e) {
        EXPECT_EQ(e.message(), "OpenGL error in 'glEnable of a made-up capability': GL_INVALID_ENUM (0x500).");
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLResourcesTest, TexturesLoadFlippedAndAreSharedByBothSlashSpellings)
{
    const TempDirectory directory("gl");
    const fs::path file = directory.path() / "sub" / "coat.png";
    fs::create_directories(file.parent_path());
    writeTwoToneImage(file, 4, 2);
    // The caller's unpack alignment is not the loader's business: it comes back as it was.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);

    const std::string forward = file.string();
    std::string backward = forward;
    std::replace(backward.begin(), backward.end(), '/', '\\');
    auto first = GLTextureCache::texture(forward);
    auto second = GLTextureCache::texture(backward);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second) << "one texture object for both spellings";
    EXPECT_TRUE(GLTextureCache::contains(backward));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "the load's binding ends with it";
    EXPECT_EQ(binding(GL_UNPACK_ALIGNMENT), 8);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

    // Level 0 bottom row first: the image's top (red) row must be the texture's last row.
    glBindTexture(GL_TEXTURE_2D, first->name());
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    ASSERT_EQ(width, 4);
    ASSERT_EQ(height, 2);
    std::uint8_t texels[2 * 4 * 3];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    EXPECT_EQ((Rgb{texels[0], texels[1], texels[2]}), (Rgb{0, 0, 255}));
    EXPECT_EQ((Rgb{texels[12], texels[13], texels[14]}), (Rgb{255, 0, 0}));
    GLint levels = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &levels);
    EXPECT_EQ(levels, 1) << "mipmaps down to 1 x 1";
    glBindTexture(GL_TEXTURE_2D, 0);

    GLTextureCache::releaseAll();
    EXPECT_FALSE(GLTextureCache::contains(forward));
    EXPECT_TRUE(glIsTexture(first->name())) << "still held here";
    const GLuint name = first->name();
    EXPECT_NE(GLTextureCache::texture(forward), first) << "a new load after the cache let go";
    GLTextureCache::releaseAll();
    first.reset();
    second.reset();
    EXPECT_FALSE(glIsTexture(name)) << "deleted with its last owner";
}

// Rows of one or two RGB pixels are no multiple of 4 bytes, GL's default unpack alignment: read
// with it, every row after the first would start a byte or two late. (Widths stay powers of
// two, which the mipmap builder keeps as they are.)
TEST_F(GLResourcesTest, TexturesWhoseRowsAreNoMultipleOfFourBytesLoadEveryTexel)
{
    const TempDirectory directory("gl");
    for (const int width : {1, 2}) {
        SCOPED_TRACE("width " + std::to_string(width));
        const int height = 4;
        wxImage image(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.SetRGB(x, y, static_cast<unsigned char>(40 * x + 1), static_cast<unsigned char>(70 * y + 2),
                             static_cast<unsigned char>(10 * (x + y) + 3));
        const fs::path file = directory.path() / ("odd" + std::to_string(width) + ".png");
        ASSERT_TRUE(image.SaveFile(file.string(), wxBITMAP_TYPE_PNG));
        ASSERT_EQ(binding(GL_UNPACK_ALIGNMENT), 4);
        const auto texture = GLTextureCache::texture(file.string());
        EXPECT_EQ(binding(GL_UNPACK_ALIGNMENT), 4);

        glBindTexture(GL_TEXTURE_2D, texture->name());
        std::vector<std::uint8_t> texels(static_cast<std::size_t>(width) * height * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        // Texture rows run bottom to top: texture row t is image row height - 1 - t.
        for (int t = 0; t < height; ++t)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* texel = &texels[(static_cast<std::size_t>(t) * width + x) * 3];
                const int y = height - 1 - t;
                EXPECT_EQ((Rgb{texel[0], texel[1], texel[2]}),
                          (Rgb{image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)}))
                    << "texel " << x << ", " << t;
            }
    }
    GLTextureCache::releaseAll();
}

TEST_F(GLResourcesTest, AnUnreadableImageThrowsAndLeavesNoCacheEntry)
{
    const TempDirectory directory("gl");
    const std::string missing = (directory.path() / "missing.png").string();
    try {
        GLTextureCache::texture(missing);
        FAIL() << "no exception";
    } catch (const IOException& e) {
        EXPECT_EQ(e.message(), "Unable to load image '" + missing + "'.");
    }
    EXPECT_FALSE(GLTextureCache::contains(missing));

    const fs::path notAnImage = directory.path() / "coat.png";
    std::ofstream(notAnImage) << "not a picture";
    EXPECT_THROW(GLTextureCache::texture(notAnImage.string()), IOException);
    EXPECT_FALSE(GLTextureCache::contains(notAnImage.string()));
}

TEST_F(GLResourcesTest, VertexProgramsLoadWithoutCommentLinesAndLeaveTheTargetDisabled)
{
    GLuint name = 0;
    {
        ARBVertexProgram program(kValidProgram);
        name = program.name();
        EXPECT_EQ(program.text(), kValidProgram);
        EXPECT_EQ(program.loadedText(), "!!ARBvp1.0\nMOV result.position, vertex.position; # stays\nEND\n");
        EXPECT_TRUE(glIsProgramARB(name));
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
        {
            ARBVertexProgram::Binding bound(program);
            EXPECT_TRUE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
            GLint current = 0;
            glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &current);
            EXPECT_EQ(static_cast<GLuint>(current), name);
        }
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
    }
    EXPECT_FALSE(glIsProgramARB(name));
}

TEST_F(GLResourcesTest, RejectedProgramsReportTheDriversPositionQuoteAndMessage)
{
    const std::string text = "!!ARBvp1.0\n# comment\nMOV result.position, vertex.nonsense;\nEND\n";
    try {
        ARBVertexProgram program(text);
        FAIL() << "the driver accepted nonsense";
    } catch (const OpenGLException& e) {
        const std::string loaded = "!!ARBvp1.0\nMOV result.position, vertex.nonsense;\nEND\n";
        const std::string message = e.message();
        ASSERT_EQ(message.rfind("Caught error at position: ", 0), 0u) << message;
        const long position = std::stol(message.substr(26));
        ASSERT_GE(position, 0);
        ASSERT_LT(static_cast<std::size_t>(position), loaded.size());
        const std::string quoted = ": '" + loaded.substr(static_cast<std::size_t>(position), 10) + "'\n";
        EXPECT_NE(message.find(quoted), std::string::npos) << message;
        EXPECT_GT(message.size(), message.find(quoted) + quoted.size()) << "the driver's own text follows";
    }
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_ARB)) << "not left enabled by the failure";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // All comments: an empty program, which no driver accepts.
    EXPECT_THROW(ARBVertexProgram("# only\n# comments\n"), OpenGLException);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLResourcesTest, VertexProgramsWithoutTheExtensionAreRefused)
{
    WithoutExtension missing(__GLEW_ARB_vertex_program);
    try {
        ARBVertexProgram program(kValidProgram);
        FAIL() << "no exception";
    } catch (const OpenGLException& e) {
        EXPECT_EQ(e.message(), "Extension ARB_vertex_program not supported on this card.");
    }
}
