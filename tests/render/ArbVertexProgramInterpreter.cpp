#include "ArbVertexProgramInterpreter.h"

#include <algorithm>
#include <cmath>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>

namespace {

using Vec4 = ArbVertexProgramInterpreter::Vec4;

// Where one PARAM vector comes from.
struct ParamSource {
    enum Kind { Env, Constant, Mvp, ModelviewInvTrans, Shininess, LightPosition, AmbientProduct, DiffuseProduct };
    Kind kind = Constant;
    unsigned index = 0;
    Vec4 constant{};
};

struct Symbol {
    enum Kind { Temp, Address, Attrib, Param, Output };
    Kind kind = Temp;
    // Temp: register slot; Attrib: generic index; Output: 0 position, 1 color, 2 texcoord.
    unsigned index = 0;
    bool isArray = false;
    std::vector<ParamSource> params;
};

struct Operand {
    const Symbol* symbol = nullptr; // null for a literal
    Vec4 literal{};
    bool negate = false;
    bool indexed = false;
    bool relative = false;
    int offset = 0;
    std::array<int, 4> swizzle{0, 1, 2, 3};
    unsigned writeMask = 0xf;
};

struct Instruction {
    std::string opcode;
    Operand dst;
    std::vector<Operand> src;
    std::string line;
};

// Compiled once per pattern: the combination test parses hundreds of programs.
const std::regex& pattern(const char* text)
{
    static std::map<std::string, std::regex> cache;
    auto it = cache.find(text);
    if (it == cache.end()) it = cache.emplace(text, std::regex(text)).first;
    return it->second;
}

[[noreturn]] void fail(const std::string& line, const std::string& why)
{
    throw std::runtime_error(why + " in line '" + line + "'");
}

int componentIndex(char c)
{
    switch (c) {
    case 'x': return 0;
    case 'y': return 1;
    case 'z': return 2;
    case 'w': return 3;
    default: return -1;
    }
}

std::string trim(const std::string& s)
{
    const auto b = s.find_first_not_of(' ');
    const auto e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Splits at commas outside braces.
std::vector<std::string> splitOperands(const std::string& s)
{
    std::vector<std::string> out;
    std::string current;
    int depth = 0;
    for (char c : s) {
        if (c == '{') ++depth;
        if (c == '}') --depth;
        if (c == ',' && depth == 0) {
            out.push_back(trim(current));
            current.clear();
        } else {
            current += c;
        }
    }
    out.push_back(trim(current));
    return out;
}

const std::map<std::string, int> kSourceCount = {{"ARL", 1}, {"MOV", 1}, {"RSQ", 1}, {"LIT", 1}, {"MUL", 2},
                                                 {"ADD", 2}, {"DP3", 2}, {"DP4", 2}, {"DPH", 2}, {"MAD", 3}};

} // namespace

struct ArbVertexProgramInterpreter::Program {
    Limits limits;
    std::map<std::string, Symbol> symbols; // aliases share the symbol they name
    std::map<std::string, std::string> aliases;
    std::vector<unsigned> attributes;
    std::vector<Instruction> instructions;
    unsigned tempCount = 0;

    const Symbol& lookup(const std::string& name, const std::string& line) const
    {
        const auto alias = aliases.find(name);
        const auto it = symbols.find(alias == aliases.end() ? name : alias->second);
        if (it == symbols.end()) fail(line, "'" + name + "' used before it is declared");
        return it->second;
    }

    void declare(const std::string& name, Symbol symbol, const std::string& line)
    {
        if (symbols.count(name) || aliases.count(name)) fail(line, "'" + name + "' declared twice");
        symbols[name] = std::move(symbol);
    }

    ParamSource parseBinding(const std::string& text, const std::string& line, unsigned row) const
    {
        std::smatch m;
        ParamSource p;
        if (std::regex_match(text, m, pattern(R"(state\.light\[(\d)\]\.position)"))) {
            p.kind = ParamSource::LightPosition;
            p.index = unsigned(std::stoi(m[1]));
        } else if (std::regex_match(text, m, pattern(R"(state\.lightprod\[(\d)\]\.(ambient|diffuse))"))) {
            p.kind = m[2] == "ambient" ? ParamSource::AmbientProduct : ParamSource::DiffuseProduct;
            p.index = unsigned(std::stoi(m[1]));
        } else if (text == "state.material.shininess") {
            p.kind = ParamSource::Shininess;
        } else if (text == "state.matrix.mvp") {
            p.kind = ParamSource::Mvp;
            p.index = row;
        } else if (text == "state.matrix.modelview.invtrans") {
            p.kind = ParamSource::ModelviewInvTrans;
            p.index = row;
        } else {
            fail(line, "unknown binding '" + text + "'");
        }
        if (p.index > 3) fail(line, "binding index out of range");
        return p;
    }

    void parseParam(const std::string& line)
    {
        std::smatch m;
        Symbol symbol;
        symbol.kind = Symbol::Param;
        if (std::regex_match(line, m, pattern(R"(PARAM (\w+)\[(\d+)\] = \{ (.*) \};)"))) {
            symbol.isArray = true;
            const unsigned size = unsigned(std::stoul(m[2]));
            const std::string binding = m[3];
            std::smatch e;
            if (std::regex_match(binding, e, pattern(R"(program\.env\[(\d+)(?:\.\.(\d+))?\])"))) {
                const unsigned a = unsigned(std::stoul(e[1]));
                const unsigned b = e[2].matched ? unsigned(std::stoul(e[2])) : a;
                if (b < a) fail(line, "empty env range");
                if (b >= limits.maxEnvParameters) fail(line, "program.env index beyond the card's limit");
                for (unsigned k = a; k <= b; ++k) symbol.params.push_back({ParamSource::Env, k, {}});
            } else {
                for (unsigned r = 0; r < 4; ++r) symbol.params.push_back(parseBinding(binding, line, r));
            }
            if (symbol.params.size() != size) fail(line, "declared size differs from the bound vectors");
        } else if (std::regex_match(line, m, pattern(R"(PARAM (\w+) = ([\w.\[\]]+);)"))) {
            symbol.params.push_back(parseBinding(m[2], line, 0));
        } else {
            fail(line, "unparsed PARAM");
        }
        declare(m[1], symbol, line);
    }

    Operand parseOperand(const std::string& text, const std::string& line, bool destination) const
    {
        Operand op;
        std::string s = text;
        if (!s.empty() && s[0] == '-') {
            op.negate = true;
            s = s.substr(1);
        }
        std::smatch m;
        if (!destination && std::regex_match(s, m, pattern(R"(\{(.*)\})"))) {
            const auto parts = splitOperands(m[1]);
            if (parts.size() != 4) fail(line, "vector constant without four values");
            for (int c = 0; c < 4; ++c) op.literal[size_t(c)] = std::stof(parts[size_t(c)]);
            return op;
        }
        if (!destination && std::regex_match(s, pattern(R"(\d+\.\d+)"))) {
            op.literal.fill(std::stof(s));
            return op;
        }
        if (!std::regex_match(s, m, pattern(R"((\w+)(?:\[( ?addr\.x\+)?(\d+)\])?(?:\.([xyzw]+))?)")))
            fail(line, "unparsed operand '" + text + "'");
        op.symbol = &lookup(m[1], line);
        if (m[3].matched) {
            if (!op.symbol->isArray) fail(line, "index on a name that is no array");
            op.indexed = true;
            op.relative = m[2].matched;
            op.offset = std::stoi(m[3]);
            if (op.relative && op.offset > 63) fail(line, "relative offset beyond 63");
            if (!op.relative && unsigned(op.offset) >= op.symbol->params.size()) fail(line, "array index out of range");
            if (op.relative) lookup("addr", line);
        } else if (op.symbol->isArray) {
            fail(line, "array used without an index");
        }
        const std::string letters = m[4];
        if (destination) {
            if (op.symbol->kind == Symbol::Param || op.symbol->kind == Symbol::Attrib) fail(line, "write to a read-only name");
            if (!letters.empty()) {
                op.writeMask = 0;
                int last = -1;
                for (char c : letters) {
                    const int i = componentIndex(c);
                    if (i <= last) fail(line, "write mask out of order");
                    last = i;
                    op.writeMask |= 1u << i;
                }
            }
        } else {
            if (op.symbol->kind == Symbol::Output) fail(line, "read of an output");
            if (letters.size() == 1) {
                op.swizzle.fill(componentIndex(letters[0]));
            } else if (letters.size() == 4) {
                for (int c = 0; c < 4; ++c) op.swizzle[size_t(c)] = componentIndex(letters[size_t(c)]);
            } else if (!letters.empty()) {
                fail(line, "swizzle of neither one nor four components");
            }
        }
        return op;
    }

    void parseInstruction(const std::string& line)
    {
        std::smatch m;
        if (!std::regex_match(line, m, pattern(R"(([A-Z0-9]+) (.*);)"))) fail(line, "unparsed statement");
        Instruction in;
        in.opcode = m[1];
        in.line = line;
        const auto count = kSourceCount.find(in.opcode);
        if (count == kSourceCount.end()) fail(line, "unknown opcode");
        const auto parts = splitOperands(m[2]);
        if (int(parts.size()) != count->second + 1) fail(line, "wrong operand count");
        if (in.opcode == "ARL") {
            if (parts[0] != "addr.x") fail(line, "ARL must write addr.x");
            lookup("addr", line);
        } else {
            in.dst = parseOperand(parts[0], line, true);
            if (in.dst.symbol->kind == Symbol::Address) fail(line, "only ARL writes the address register");
        }
        for (size_t i = 1; i < parts.size(); ++i) in.src.push_back(parseOperand(parts[i], line, false));
        instructions.push_back(std::move(in));
    }

    void parse(const std::string& text)
    {
        if (text.size() < 4 || text.substr(text.size() - 4) != "END\n") fail(text.substr(0, 40), "program without a final END line");
        std::istringstream in(text);
        std::string line;
        bool headerSeen = false;
        bool ended = false;
        while (std::getline(in, line)) {
            if (line.empty()) fail(line, "empty line");
            if (line[0] == '#') continue;
            if (ended) fail(line, "text after END");
            if (!headerSeen) {
                if (line != "!!ARBvp1.0") fail(line, "the first statement is not the header");
                headerSeen = true;
                continue;
            }
            std::smatch m;
            if (line == "END") {
                ended = true;
            } else if (line.rfind("PARAM ", 0) == 0) {
                parseParam(line);
            } else if (std::regex_match(line, m, pattern(R"(ATTRIB (\w+) = vertex\.attrib\[(\d+)\];)"))) {
                const unsigned index = unsigned(std::stoul(m[2]));
                if (index >= limits.maxAttributes) fail(line, "attribute beyond the card's limit");
                if (std::count(attributes.begin(), attributes.end(), index)) fail(line, "attribute bound twice");
                if (m[1] != "v" + std::to_string(index)) fail(line, "attribute name differs from its index");
                attributes.push_back(index);
                declare(m[1], {Symbol::Attrib, index, false, {}}, line);
            } else if (std::regex_match(line, m, pattern(R"(TEMP (.*);)"))) {
                for (const std::string& name : splitOperands(m[1])) declare(name, {Symbol::Temp, tempCount++, false, {}}, line);
            } else if (std::regex_match(line, m, pattern(R"(ADDRESS (\w+);)"))) {
                declare(m[1], {Symbol::Address, 0, false, {}}, line);
            } else if (std::regex_match(line, m, pattern(R"(ALIAS (\w+) = (\w+);)"))) {
                lookup(m[2], line);
                if (symbols.count(m[1]) || aliases.count(m[1])) fail(line, "alias declared twice");
                aliases[m[1]] = m[2];
            } else if (std::regex_match(line, m, pattern(R"(OUTPUT (\w+) = result\.(position|color|texcoord);)"))) {
                const unsigned which = m[2] == "position" ? 0 : m[2] == "color" ? 1 : 2;
                declare(m[1], {Symbol::Output, which, false, {}}, line);
            } else {
                parseInstruction(line);
            }
        }
        if (!ended) fail("", "no END statement");
        if (instructions.size() > limits.maxInstructions) fail("", "more instructions than the card runs");
    }
};

ArbVertexProgramInterpreter::ArbVertexProgramInterpreter(const std::string& text, Limits limits)
    : m_program(std::make_unique<Program>())
{
    m_program->limits = limits;
    m_program->parse(text);
}

ArbVertexProgramInterpreter::~ArbVertexProgramInterpreter() = default;

unsigned ArbVertexProgramInterpreter::instructionCount() const
{
    return unsigned(m_program->instructions.size());
}

unsigned ArbVertexProgramInterpreter::opcodeCount(const std::string& opcode) const
{
    return unsigned(std::count_if(m_program->instructions.begin(), m_program->instructions.end(),
                                  [&](const Instruction& i) { return i.opcode == opcode; }));
}

const std::vector<unsigned>& ArbVertexProgramInterpreter::attributeIndices() const
{
    return m_program->attributes;
}

ArbVertexProgramInterpreter::Outputs ArbVertexProgramInterpreter::run(const std::map<unsigned, Vec4>& attributes,
                                                                      const std::map<unsigned, Vec4>& env,
                                                                      const State& state) const
{
    std::vector<Vec4> temps(m_program->tempCount);
    std::vector<bool> written(m_program->tempCount, false);
    Outputs out;
    int addr = 0;
    bool addrWritten = false;

    auto param = [&](const ParamSource& p, const std::string& line) -> Vec4 {
        switch (p.kind) {
        case ParamSource::Env: {
            const auto it = env.find(p.index);
            if (it == env.end()) fail(line, "program.env[" + std::to_string(p.index) + "] read but never uploaded");
            return it->second;
        }
        case ParamSource::Constant: return p.constant;
        case ParamSource::Mvp: return state.mvp[p.index];
        case ParamSource::ModelviewInvTrans: return state.modelviewInverseTranspose[p.index];
        case ParamSource::Shininess: return {state.shininess, 0, 0, 1};
        case ParamSource::LightPosition: return state.lightPosition[p.index];
        case ParamSource::AmbientProduct: return state.ambientProduct[p.index];
        case ParamSource::DiffuseProduct: return state.diffuseProduct[p.index];
        }
        return {};
    };
    auto read = [&](const Operand& op, const std::string& line) -> Vec4 {
        Vec4 raw = op.literal;
        if (op.symbol) {
            const Symbol& s = *op.symbol;
            if (s.kind == Symbol::Temp) {
                if (!written[s.index]) fail(line, "temporary read before it is written");
                raw = temps[s.index];
            } else if (s.kind == Symbol::Attrib) {
                const auto it = attributes.find(s.index);
                raw = it == attributes.end() ? Vec4{0, 0, 0, 1} : it->second;
            } else if (s.kind == Symbol::Param) {
                int i = op.indexed ? op.offset : 0;
                if (op.relative) {
                    if (!addrWritten) fail(line, "address register read before ARL");
                    i += addr;
                }
                if (i < 0 || size_t(i) >= s.params.size()) fail(line, "relative address outside the array");
                raw = param(s.params[size_t(i)], line);
            }
        }
        Vec4 v;
        for (int c = 0; c < 4; ++c) v[size_t(c)] = (op.negate ? -1.0f : 1.0f) * raw[size_t(op.swizzle[size_t(c)])];
        return v;
    };

    for (const Instruction& in : m_program->instructions) {
        std::vector<Vec4> s;
        for (const Operand& op : in.src) s.push_back(read(op, in.line));
        Vec4 r{};
        const std::string& o = in.opcode;
        if (o == "ARL") {
            // ARL floors, so an id stored as an exact multiple of 3 addresses that row.
            addr = int(std::floor(s[0][0]));
            addrWritten = true;
            continue;
        } else if (o == "MOV") {
            r = s[0];
        } else if (o == "MUL" || o == "ADD" || o == "MAD") {
            for (size_t c = 0; c < 4; ++c)
                r[c] = o == "MUL" ? s[0][c] * s[1][c] : o == "ADD" ? s[0][c] + s[1][c] : s[0][c] * s[1][c] + s[2][c];
        } else if (o == "DP3" || o == "DP4" || o == "DPH") {
            float d = s[0][0] * s[1][0] + s[0][1] * s[1][1] + s[0][2] * s[1][2];
            if (o == "DP4") d += s[0][3] * s[1][3];
            if (o == "DPH") d += s[1][3];
            r.fill(d);
        } else if (o == "RSQ") {
            r.fill(1.0f / std::sqrt(std::fabs(s[0][0])));
        } else if (o == "LIT") {
            const float x = std::max(s[0][0], 0.0f);
            const float y = std::max(s[0][1], 0.0f);
            const float w = std::clamp(s[0][3], -128.0f, 128.0f);
            r = {1.0f, x, s[0][0] > 0 ? std::pow(y, w) : 0.0f, 1.0f};
        }
        const Symbol& d = *in.dst.symbol;
        Vec4* target = nullptr;
        unsigned* outputMask = nullptr;
        if (d.kind == Symbol::Temp) {
            target = &temps[d.index];
            written[d.index] = true;
        } else {
            target = d.index == 0 ? &out.position : d.index == 1 ? &out.color : &out.texCoord;
            outputMask = d.index == 0 ? &out.positionWritten : d.index == 1 ? &out.colorWritten : &out.texCoordWritten;
            *outputMask |= in.dst.writeMask;
        }
        for (unsigned c = 0; c < 4; ++c)
            if (in.dst.writeMask & (1u << c)) (*target)[c] = r[c];
    }
    return out;
}
