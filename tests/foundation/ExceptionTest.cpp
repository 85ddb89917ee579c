#include "foundation/Exception.h"

#include <gtest/gtest.h>

TEST(Exception, CopiesKeepMessageAndPosition)
{
    try {
        throw ParserException("Invalid vertex", "a.obj", 12, 1);
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "Invalid vertex") << "handlers see the message only";
        const auto* parser = dynamic_cast<const ParserException*>(&e);
        ASSERT_NE(parser, nullptr);
        const ParserException copy = *parser;
        EXPECT_EQ(copy.message(), "Invalid vertex");
        EXPECT_EQ(copy.fileName(), "a.obj");
        EXPECT_EQ(copy.line(), 12);
        EXPECT_EQ(copy.column(), 1);
    }
}

TEST(Exception, SubclassesPassHandlersOfOtherSubclasses)
{
    auto throwCreation = [] { throw CreationException(std::string("bad skin")); };
    try {
        try {
            throwCreation();
        } catch (const IOException&) {
            FAIL() << "an IOException handler must not catch a CreationException";
        }
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "bad skin");
        EXPECT_STREQ(e.what(), "bad skin");
    }
    const char* raw = "from a character array";
    EXPECT_EQ(OpenGLException(raw).message(), raw);
    EXPECT_EQ(LinearAlgebraException("x").message(), "x");
    EXPECT_EQ(SkinParserException("y").message(), "y");
}
