#pragma once

// A reference executor for the part of ARB_vertex_program that the generated programs use,
// so the tests can run a program on one vertex and compare it with skinning done on the
// processor. Parsing also checks the rules a driver enforces and a few the generator must
// keep on its own: every name declared before use and declared once, each generic attribute
// bound once and below the card's limit, program.env indices below the card's limit,
// constant array indices inside the array, a bounded instruction count. Running checks that
// no temporary is read before it is written and no env vector is read that was not uploaded.
// Violations throw std::runtime_error naming the offending line.

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ArbVertexProgramInterpreter {
public:
    using Vec4 = std::array<float, 4>;

    struct Limits {
        unsigned maxAttributes = 16;
        // llvmpipe's (and most cards') number of program.env vectors.
        unsigned maxEnvParameters = 256;
        // Native instruction limit of the oldest cards the viewer ran on.
        unsigned maxInstructions = 128;
    };

    // The GL state the programs bind; rows of matrices as ARB programs see them.
    struct State {
        std::array<Vec4, 4> mvp{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
        std::array<Vec4, 4> modelviewInverseTranspose{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
        float shininess = 0.0f;
        std::array<Vec4, 2> lightPosition{};
        std::array<Vec4, 2> ambientProduct{};
        std::array<Vec4, 2> diffuseProduct{};
    };

    struct Outputs {
        Vec4 position{};
        Vec4 color{};
        Vec4 texCoord{};
        // Component masks (bit c for component c) of what the program wrote.
        unsigned positionWritten = 0;
        unsigned colorWritten = 0;
        unsigned texCoordWritten = 0;
    };

    ArbVertexProgramInterpreter(const std::string& text, Limits limits);
    ~ArbVertexProgramInterpreter();

    unsigned instructionCount() const;
    unsigned opcodeCount(const std::string& opcode) const;
    // Generic attribute indices in declaration order.
    const std::vector<unsigned>& attributeIndices() const;

    // Runs one vertex. attributes[i] is generic attribute i (missing ones read (0, 0, 0, 1));
    // env[k] is program.env[k].
    Outputs run(const std::map<unsigned, Vec4>& attributes, const std::map<unsigned, Vec4>& env,
                const State& state) const;

private:
    struct Program;
    std::unique_ptr<Program> m_program;
};
