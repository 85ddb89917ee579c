#pragma once

#include <iostream>
#include <streambuf>

// The text readers report progress and statistics on standard error; a fuzzer calling them
// millions of times only needs its own messages there. Holds std::cerr silent while it lives.
class QuietStandardError {
public:
    QuietStandardError() : m_previous(std::cerr.rdbuf(&m_sink)) {}
    ~QuietStandardError() { std::cerr.rdbuf(m_previous); }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    struct Sink : std::streambuf {
        int overflow(int c) override { return traits_type::not_eof(c); }
    };
    Sink m_sink;
    std::streambuf* m_previous;
};
