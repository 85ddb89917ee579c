#pragma once

#include <exception>
#include <string>
#include <utility>

// The one exception family every failure travels in. The thrower composes the whole message
// (numbers in decimal, names and paths in single quotes); the family never reformats it.
// GUI command handlers catch Exception and show message() under a caption naming the command.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    explicit Exception(const char* message) : m_message(message ? message : "") {}
    ~Exception() override = default;

    std::string message() const { return m_message; }
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

// An object could not be built from its source (skin readers, OBJ and MTL models).
class CreationException : public Exception {
public:
    using Exception::Exception;
};

// A file could not be opened, read or written.
class IOException : public Exception {
public:
    using Exception::Exception;
};

// A syntax or consistency error in one line of a text skin file.
class SkinParserException : public Exception {
public:
    using Exception::Exception;
};

// Failure of a linear solve.
class LinearAlgebraException : public Exception {
public:
    using Exception::Exception;
};

// Missing OpenGL extensions and GL errors.
class OpenGLException : public Exception {
public:
    using Exception::Exception;
};

// A syntax error at a position of a text file; handlers show only the message, the position
// is kept for inspection. Line is 1-based.
class ParserException : public Exception {
public:
    ParserException(std::string message, std::string fileName, int line, int column)
        : Exception(std::move(message)), m_fileName(std::move(fileName)), m_line(line), m_column(column)
    {
    }

    const std::string& fileName() const { return m_fileName; }
    int line() const { return m_line; }
    int column() const { return m_column; }

private:
    std::string m_fileName;
    int m_line;
    int m_column;
};
