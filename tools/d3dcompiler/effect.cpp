// fx_2_0 effects: the source is read here (globals, techniques, passes and
// their states), every shader a pass compiles goes to vkd3d-compiler, and
// the effect binary is written in the layout that D3DX's effect parser reads.
//
// The binary: the tag 0xFEFF0901, the size N of the data area, the data area
// (names, type descriptions, values; every offset in the file counts from
// its start), then the structured part (parameters, techniques, passes,
// states), the strings and the resources (shader byte code, names of
// referenced parameters). NOTE: D3DX checks no offset and no object id: a
// wrong one crashes it, so everything written here is checked first.
#include "standin.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <vector>

namespace standin {
namespace {

// D3DXPARAMETER_TYPE and D3DXPARAMETER_CLASS values.
enum : uint32_t {
    kBool = 1,
    kInt = 2,
    kFloat = 3,
    kString = 4,
    kTexture = 5,
    kSampler = 10,
    kPixelShader = 15,
    kVertexShader = 16,
};
enum : uint32_t { kScalar = 0, kVector = 1, kMatrixRows = 2, kObject = 4 };

// D3DX's state table: a state's operation is its index there.
constexpr uint32_t kVertexShaderState = 146;
constexpr uint32_t kPixelShaderState = 147;
constexpr uint32_t kTextureState = 164;

// Names of values, "NAME=value ...", as the effect source spells them (any
// case).
const char kBlend[] = "ZERO=1 ONE=2 SRCCOLOR=3 INVSRCCOLOR=4 SRCALPHA=5 INVSRCALPHA=6 DESTALPHA=7 "
                      "INVDESTALPHA=8 DESTCOLOR=9 INVDESTCOLOR=10 SRCALPHASAT=11 BOTHSRCALPHA=12 "
                      "BOTHINVSRCALPHA=13 BLENDFACTOR=14 INVBLENDFACTOR=15";
const char kCull[] = "NONE=1 CW=2 CCW=3";
const char kCompare[] =
    "NEVER=1 LESS=2 EQUAL=3 LESSEQUAL=4 GREATER=5 NOTEQUAL=6 GREATEREQUAL=7 ALWAYS=8";
const char kFill[] = "POINT=1 WIREFRAME=2 SOLID=3";
const char kShade[] = "FLAT=1 GOURAUD=2 PHONG=3";
const char kZEnable[] = "USEW=2";
const char kFog[] = "NONE=0 EXP=1 EXP2=2 LINEAR=3";
const char kStencil[] = "KEEP=1 ZERO=2 REPLACE=3 INCRSAT=4 DECRSAT=5 INVERT=6 INCR=7 DECR=8";
const char kColorWrite[] = "RED=1 GREEN=2 BLUE=4 ALPHA=8";
const char kBlendOp[] = "ADD=1 SUBTRACT=2 REVSUBTRACT=3 MIN=4 MAX=5";
const char kAddress[] = "WRAP=1 MIRROR=2 CLAMP=3 BORDER=4 MIRRORONCE=5";
const char kFilter[] = "NONE=0 POINT=1 LINEAR=2 ANISOTROPIC=3 PYRAMIDALQUAD=6 GAUSSIANQUAD=7";
const char kTextureOp[] =
    "DISABLE=1 SELECTARG1=2 SELECTARG2=3 MODULATE=4 MODULATE2X=5 MODULATE4X=6 ADD=7 ADDSIGNED=8 "
    "ADDSIGNED2X=9 SUBTRACT=10 ADDSMOOTH=11 BLENDDIFFUSEALPHA=12 BLENDTEXTUREALPHA=13 "
    "BLENDFACTORALPHA=14 BLENDCURRENTALPHA=16 DOTPRODUCT3=24 MULTIPLYADD=25 LERP=26";
const char kTextureArg[] = "DIFFUSE=0 CURRENT=1 TEXTURE=2 TFACTOR=3 SPECULAR=4 TEMP=5 CONSTANT=6 "
                           "COMPLEMENT=0x10 ALPHAREPLICATE=0x20";

// The states a pass or a sampler may set with a constant, and their
// operations. Values are numbers, true or false, or names of the table given
// (joined with | where they are flags).
struct StateInfo {
    const char *name;
    uint32_t operation;
    bool isFloat;
    const char *values;
};
const StateInfo kStates[] = {
    {"ZEnable", 0, false, kZEnable},
    {"FillMode", 1, false, kFill},
    {"ShadeMode", 2, false, kShade},
    {"ZWriteEnable", 3, false, nullptr},
    {"AlphaTestEnable", 4, false, nullptr},
    {"LastPixel", 5, false, nullptr},
    {"SrcBlend", 6, false, kBlend},
    {"DestBlend", 7, false, kBlend},
    {"CullMode", 8, false, kCull},
    {"ZFunc", 9, false, kCompare},
    {"AlphaRef", 10, false, nullptr},
    {"AlphaFunc", 11, false, kCompare},
    {"DitherEnable", 12, false, nullptr},
    {"AlphaBlendEnable", 13, false, nullptr},
    {"FogEnable", 14, false, nullptr},
    {"SpecularEnable", 15, false, nullptr},
    {"FogColor", 16, false, nullptr},
    {"FogTableMode", 17, false, kFog},
    {"FogStart", 18, true, nullptr},
    {"FogEnd", 19, true, nullptr},
    {"FogDensity", 20, true, nullptr},
    {"StencilEnable", 22, false, nullptr},
    {"StencilFail", 23, false, kStencil},
    {"StencilZFail", 24, false, kStencil},
    {"StencilPass", 25, false, kStencil},
    {"StencilFunc", 26, false, kCompare},
    {"StencilRef", 27, false, nullptr},
    {"StencilMask", 28, false, nullptr},
    {"StencilWriteMask", 29, false, nullptr},
    {"TextureFactor", 30, false, nullptr},
    {"Lighting", 48, false, nullptr},
    {"Ambient", 49, false, nullptr},
    {"FogVertexMode", 50, false, kFog},
    {"NormalizeNormals", 53, false, nullptr},
    {"PointSize", 60, true, nullptr},
    {"MultiSampleAntialias", 68, false, nullptr},
    {"ColorWriteEnable", 73, false, kColorWrite},
    {"BlendOp", 75, false, kBlendOp},
    {"ScissorTestEnable", 78, false, nullptr},
    {"SlopeScaleDepthBias", 79, true, nullptr},
    {"BlendFactor", 96, false, nullptr},
    {"SRGBWriteEnable", 97, false, nullptr},
    {"DepthBias", 98, true, nullptr},
    {"SeparateAlphaBlendEnable", 99, false, nullptr},
    {"SrcBlendAlpha", 100, false, kBlend},
    {"DestBlendAlpha", 101, false, kBlend},
    {"BlendOpAlpha", 102, false, kBlendOp},
    // Texture stages: the index is the stage.
    {"ColorOp", 103, false, kTextureOp},
    {"ColorArg0", 104, false, kTextureArg},
    {"ColorArg1", 105, false, kTextureArg},
    {"ColorArg2", 106, false, kTextureArg},
    {"AlphaOp", 107, false, kTextureOp},
    {"AlphaArg0", 108, false, kTextureArg},
    {"AlphaArg1", 109, false, kTextureArg},
    {"AlphaArg2", 110, false, kTextureArg},
    {"ResultArg", 111, false, kTextureArg},
    {"TexCoordIndex", 116, false, nullptr},
    // Samplers: in a pass the index is the sampler.
    {"AddressU", 165, false, kAddress},
    {"AddressV", 166, false, kAddress},
    {"AddressW", 167, false, kAddress},
    {"BorderColor", 168, false, nullptr},
    {"MagFilter", 169, false, kFilter},
    {"MinFilter", 170, false, kFilter},
    {"MipFilter", 171, false, kFilter},
    {"MipMapLodBias", 172, true, nullptr},
    {"MaxMipLevel", 173, false, nullptr},
    {"MaxAnisotropy", 174, false, nullptr},
    {"SRGBTexture", 175, false, nullptr},
};

bool SameText(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The value of `name` in a list of names "NAME=value ..."; false when it has
// none.
bool LookUp(const char *names, const std::string &name, uint32_t *value) {
    for (const char *entry = names; entry != nullptr && *entry != '\0';) {
        const char *equals = std::strchr(entry, '=');
        char *end = nullptr;
        const unsigned long number = std::strtoul(equals + 1, &end, 0);
        if (SameText(name, std::string(entry, equals))) {
            *value = static_cast<uint32_t>(number);
            return true;
        }
        entry = *end == ' ' ? end + 1 : end;
    }
    return false;
}

struct Token {
    std::string text;
    char kind; // 'i' identifier, 'n' number, 's' string, 'p' punctuation, 'e' end
    int line;
    size_t begin;
};

class Failure : public std::runtime_error {
  public:
    Failure(int line, const std::string &what)
        : std::runtime_error("effect(" + std::to_string(line) + "): error: " + what + "\n") {}
};

std::vector<Token> Tokenize(const std::string &text) {
    std::vector<Token> tokens;
    int line = 1;
    size_t at = 0;
    while (at < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c == '\n') {
            ++line;
            ++at;
            continue;
        }
        if (std::isspace(c)) {
            ++at;
            continue;
        }
        if (c == '#') { // a #pragma the preprocessor leaves for the compiler
            at = text.find('\n', at);
            at = at == std::string::npos ? text.size() : at;
            continue;
        }
        Token token{"", 'p', line, at};
        size_t end = at + 1;
        if (std::isalpha(c) || c == '_') {
            token.kind = 'i';
            while (end < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) {
                ++end;
            }
        } else if (std::isdigit(c) || (c == '.' && at + 1 < text.size() &&
                                       std::isdigit(static_cast<unsigned char>(text[at + 1])))) {
            token.kind = 'n';
            while (end < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '.' ||
                    ((text[end] == '-' || text[end] == '+') &&
                     (text[end - 1] == 'e' || text[end - 1] == 'E')))) {
                ++end;
            }
        } else if (c == '"') {
            token.kind = 's';
            while (end < text.size() && text[end] != '"' && text[end] != '\n') {
                end += text[end] == '\\' ? 2 : 1;
            }
            if (end >= text.size() || text[end] != '"') {
                throw Failure(line, "unterminated string");
            }
            ++end;
        }
        token.text = text.substr(at, end - at);
        tokens.push_back(token);
        at = end;
    }
    tokens.push_back({"", 'e', line, text.size()});
    return tokens;
}

// A parameter's, annotation's or state's type and value, as written.
struct Type {
    uint32_t type = kFloat;
    uint32_t cls = kScalar;
    uint32_t rows = 1;
    uint32_t columns = 1;
    uint32_t elements = 0;
    std::string name;
    std::string semantic;

    uint32_t Components() const { return rows * columns * (elements == 0 ? 1 : elements); }
};

struct State;

struct Variable {
    Type type;
    std::vector<uint32_t> value; // numbers, or the object id of a string, texture or shader
    std::vector<State> sampler;  // a sampler's states
    std::vector<Variable> annotations;
    std::string text;           // a string's text
    std::string profile, entry; // a shader's compile, or none for NULL

    bool IsShader() const { return type.type == kVertexShader || type.type == kPixelShader; }
};

struct State {
    uint32_t operation = 0;
    uint32_t index = 0;
    Variable variable;
    std::string referenced; // the name of the texture or shader parameter it takes
    int line = 0;
};

struct Pass {
    std::string name;
    std::vector<Variable> annotations;
    std::vector<State> states;
};

struct Technique {
    std::string name;
    std::vector<Variable> annotations;
    std::vector<Pass> passes;
};

class Parser {
  public:
    explicit Parser(const std::string &source) : hlsl_(source), tokens_(Tokenize(source)) {}

    void Parse() {
        while (Peek().kind != 'e') {
            const Token &token = Peek();
            if (token.text == "technique") {
                const size_t begin = token.begin;
                ParseTechnique();
                Blank(begin, Peek().begin);
            } else if (token.kind == 'i' &&
                       (token.text.compare(0, 9, "technique") == 0 || token.text == "pass")) {
                throw Failure(token.line, "'" + token.text + "' is not supported in fx_2_0");
            } else if (token.text == "struct") {
                SkipStruct();
            } else if (token.text == ";") {
                Next();
            } else if (token.text == "typedef") {
                SkipPast(";");
            } else {
                ParseDeclaration();
            }
        }
    }

    std::vector<Variable> parameters_;
    std::vector<Technique> techniques_;
    // The source less its techniques: what the shaders compile from.
    std::string hlsl_;
    uint32_t objects_ = 0; // object ids handed out; 0 is reserved

  private:
    const Token &Peek(size_t ahead = 0) const {
        return tokens_[std::min(at_ + ahead, tokens_.size() - 1)];
    }
    const Token &Next() {
        const Token &token = Peek();
        if (at_ < tokens_.size() - 1) {
            ++at_;
        }
        return token;
    }
    bool Accept(const char *text) {
        if (Peek().kind != 's' && Peek().text == text) {
            Next();
            return true;
        }
        return false;
    }
    void Expect(const char *text) {
        if (!Accept(text)) {
            throw Failure(Peek().line,
                          std::string("'") + text + "' expected, not '" + Peek().text + "'");
        }
    }
    std::string Identifier() {
        if (Peek().kind != 'i') {
            throw Failure(Peek().line, "name expected, not '" + Peek().text + "'");
        }
        return Next().text;
    }
    void Blank(size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            if (hlsl_[i] != '\n') {
                hlsl_[i] = ' ';
            }
        }
    }
    // Skips a bracketed block from its opening bracket on.
    void SkipBlock(const char *open, const char *close) {
        int depth = 0;
        do {
            if (Peek().kind == 'e') {
                throw Failure(Peek().line, std::string("'") + close + "' missing");
            }
            if (Peek().text == open) {
                ++depth;
            } else if (Peek().text == close) {
                --depth;
            }
            Next();
        } while (depth > 0);
    }
    void SkipPast(const char *text) {
        while (Peek().kind != 'e' && !Accept(text)) {
            if (Peek().text == "{") {
                SkipBlock("{", "}");
            } else {
                Next();
            }
        }
    }
    void SkipStruct() {
        Next();
        if (Peek().kind == 'i') {
            Next();
        }
        SkipBlock("{", "}");
        if (!Accept(";")) {
            throw Failure(Peek().line, "globals of struct type are not supported");
        }
    }

    // A type name (with its template arguments), or false when `name` is none.
    bool ParseType(Type *type) {
        std::string name = Peek().text;
        static const char kObjects[] = "STRING=4 TEXTURE=5 TEXTURE1D=6 TEXTURE2D=7 TEXTURE3D=8 "
                                       "TEXTURECUBE=9 SAMPLER=10 SAMPLER1D=11 SAMPLER2D=12 "
                                       "SAMPLER3D=13 SAMPLERCUBE=14 PIXELSHADER=15 "
                                       "VERTEXSHADER=16";
        if (LookUp(kObjects, name, &type->type)) {
            Next();
            type->cls = kObject;
            return true;
        }
        if (name == "vector" || name == "matrix") {
            Next();
            type->rows = name == "matrix" ? 4 : 1;
            type->columns = 4;
            type->cls = name == "matrix" ? kMatrixRows : kVector;
            if (Accept("<")) {
                if (!BaseType(Identifier(), type)) {
                    throw Failure(Peek().line, "unsupported element type in " + name);
                }
                if (name == "matrix") {
                    Expect(",");
                    type->rows = Dimension();
                }
                Expect(",");
                type->columns = Dimension();
                Expect(">");
            }
            return true;
        }
        static const char *const kBases[] = {"float", "half", "int", "uint", "bool", "dword"};
        for (const char *base : kBases) {
            const size_t length = std::strlen(base);
            if (name.compare(0, length, base) != 0 || !BaseType(base, type)) {
                continue;
            }
            const std::string shape = name.substr(length);
            if (shape.empty()) {
            } else if (shape.size() == 1 && shape[0] >= '1' && shape[0] <= '4') {
                type->cls = kVector;
                type->columns = static_cast<uint32_t>(shape[0] - '0');
            } else if (shape.size() == 3 && shape[0] >= '1' && shape[0] <= '4' && shape[1] == 'x' &&
                       shape[2] >= '1' && shape[2] <= '4') {
                type->cls = kMatrixRows;
                type->rows = static_cast<uint32_t>(shape[0] - '0');
                type->columns = static_cast<uint32_t>(shape[2] - '0');
            } else {
                continue;
            }
            Next();
            return true;
        }
        return false;
    }
    static bool BaseType(const std::string &name, Type *type) {
        if (name == "float" || name == "half") {
            type->type = kFloat;
        } else if (name == "int" || name == "uint" || name == "dword") {
            type->type = kInt;
        } else if (name == "bool") {
            type->type = kBool;
        } else {
            return false;
        }
        return true;
    }
    uint32_t Dimension() {
        const Token &token = Next();
        const long value = std::strtol(token.text.c_str(), nullptr, 10);
        if (token.kind != 'n' || value < 1 || value > 4) {
            throw Failure(token.line, "dimension 1 to 4 expected, not '" + token.text + "'");
        }
        return static_cast<uint32_t>(value);
    }

    void ParseDeclaration() {
        const int line = Peek().line;
        bool isStatic = false;
        static const char *const kModifiers[] = {"uniform",      "extern",   "shared",
                                                 "const",        "volatile", "row_major",
                                                 "column_major", "inline",   "precise"};
        for (bool more = true; more;) {
            more = false;
            if (Accept("static")) {
                isStatic = more = true;
            }
            for (const char *modifier : kModifiers) {
                more = more || Accept(modifier);
            }
        }
        Type type;
        const bool known = ParseType(&type);
        if (!known) {
            Next(); // a struct or unknown type name: a function may return it
        }
        const std::string name = Identifier();
        if (Peek().text == "(") {
            SkipBlock("(", ")");
            while (Peek().kind != 'e' && Peek().text != "{" && Peek().text != ";") {
                Next();
            }
            if (Peek().text == "{") {
                SkipBlock("{", "}");
            } else {
                Next();
            }
            return;
        }
        if (isStatic) {
            SkipPast(";");
            return;
        }
        if (!known) {
            throw Failure(line, "global '" + name + "' has a type that is not supported");
        }
        ParseVariable(type, name, &parameters_);
        while (Accept(",")) {
            ParseVariable(type, Identifier(), &parameters_);
        }
        Expect(";");
    }

    // One declarator from its name on: [elements] : semantic <annotations> = value.
    void ParseVariable(Type type, const std::string &name, std::vector<Variable> *into) {
        const int line = Peek().line;
        Variable variable;
        type.name = name;
        if (Accept("[")) {
            type.elements = static_cast<uint32_t>(std::strtoul(Next().text.c_str(), nullptr, 0));
            Expect("]");
            if (type.elements == 0 || type.elements > 4096) {
                throw Failure(line, "array size of '" + name + "' not supported");
            }
        }
        while (Accept(":")) {
            if (Accept("register")) {
                SkipBlock("(", ")");
            } else {
                type.semantic = Identifier();
            }
        }
        variable.type = type;
        if (Peek().text == "<") {
            ParseAnnotations(&variable.annotations);
        }
        const size_t begin = Peek().begin;
        const bool initialised = Accept("=");
        if (type.cls != kObject) {
            std::vector<double> values;
            if (initialised) {
                ParseNumbers(&values);
                if (values.size() == 1) {
                    values.assign(type.Components(), values[0]);
                }
                if (values.size() != type.Components()) {
                    throw Failure(line, "'" + name + "' needs " +
                                            std::to_string(type.Components()) + " values, not " +
                                            std::to_string(values.size()));
                }
            }
            values.resize(type.Components(), 0.0);
            for (double value : values) {
                variable.value.push_back(Word(type.type, value));
            }
        } else if (type.elements != 0) {
            throw Failure(line, "arrays of objects are not supported");
        } else if (type.type == kString) {
            if (!initialised || Peek().kind != 's') {
                throw Failure(line, "string '" + name + "' needs a string value");
            }
            const std::string text = Next().text;
            variable.text = text.substr(1, text.size() - 2);
            variable.value.push_back(NewObject());
        } else if (variable.IsShader()) {
            if (!initialised) {
                throw Failure(line, "shader '" + name + "' needs a value");
            }
            ParseShader(&variable);
            variable.value.push_back(NewObject());
        } else if (type.type >= kSampler && type.type <= 14) {
            if (initialised) {
                Expect("sampler_state");
                Expect("{");
                while (!Accept("}")) {
                    variable.sampler.push_back(ParseState(true));
                }
            }
        } else if (initialised) {
            throw Failure(line, "texture '" + name + "' cannot have a value");
        } else {
            variable.value.push_back(NewObject());
        }
        // A parameter's value is the effect's to set: the shaders compile
        // without it (vkd3d-compiler evaluates fewer initialisers).
        if (into == &parameters_) {
            Blank(begin, Peek().begin);
        }
        into->push_back(variable);
    }

    static uint32_t Word(uint32_t type, double value) {
        if (type == kFloat) {
            const float single = static_cast<float>(value);
            uint32_t word;
            std::memcpy(&word, &single, sizeof word);
            return word;
        }
        if (type == kBool) {
            return value != 0.0 ? 1 : 0;
        }
        return static_cast<uint32_t>(static_cast<int32_t>(value));
    }

    // Constant values: expressions, lists of them in braces and type
    // constructors of them.
    void ParseNumbers(std::vector<double> *values) {
        Type type;
        if (Accept("{")) {
            ParseList("}", values);
        } else if (Peek().kind == 'i' && Peek(1).text == "(" && ParseType(&type)) {
            Expect("(");
            ParseList(")", values);
        } else {
            values->push_back(Number());
        }
    }
    // Comma-separated numbers up to `close`.
    void ParseList(const char *close, std::vector<double> *values) {
        while (!Accept(close)) {
            ParseNumbers(values);
            if (!Accept(",") && Peek().text != close) {
                throw Failure(Peek().line, std::string("',' or '") + close + "' expected, not '" +
                                               Peek().text + "'");
            }
        }
    }
    // A constant expression: numbers, true and false, + - * / and brackets.
    double Number() {
        double value = Product();
        for (;;) {
            if (Accept("+")) {
                value += Product();
            } else if (Accept("-")) {
                value -= Product();
            } else {
                return value;
            }
        }
    }
    double Product() {
        double value = Factor();
        for (;;) {
            if (Accept("*")) {
                value *= Factor();
            } else if (Accept("/")) {
                value /= Factor();
            } else {
                return value;
            }
        }
    }
    double Factor() {
        if (Accept("-")) {
            return -Factor();
        }
        if (Accept("+")) {
            return Factor();
        }
        if (Accept("(")) {
            const double value = Number();
            Expect(")");
            return value;
        }
        const Token &token = Next();
        if (token.text == "true" || token.text == "false") {
            return token.text == "true" ? 1.0 : 0.0;
        }
        if (token.kind != 'n') {
            throw Failure(token.line, "a constant is expected, not '" + token.text + "'");
        }
        const bool hex = token.text.size() > 2 && (token.text[1] == 'x' || token.text[1] == 'X');
        return hex ? static_cast<double>(std::strtoul(token.text.c_str(), nullptr, 16))
                   : std::strtod(token.text.c_str(), nullptr);
    }

    void ParseAnnotations(std::vector<Variable> *annotations) {
        Expect("<");
        while (!Accept(">")) {
            Type type;
            if (!ParseType(&type) || (type.cls == kObject && type.type != kString)) {
                throw Failure(Peek().line, "annotations of this type are not supported");
            }
            ParseVariable(type, Identifier(), annotations);
            Expect(";");
        }
    }

    // A technique's or pass's name and annotations, up to its opening brace.
    void ParseHeader(std::string *name, std::vector<Variable> *annotations) {
        if (Peek().kind == 'i') {
            *name = Next().text;
        }
        if (Peek().text == "<") {
            ParseAnnotations(annotations);
        }
        Expect("{");
    }

    void ParseTechnique() {
        Next();
        Technique technique;
        ParseHeader(&technique.name, &technique.annotations);
        while (!Accept("}")) {
            if (!Accept("pass")) {
                throw Failure(Peek().line, "'pass' expected, not '" + Peek().text + "'");
            }
            Pass pass;
            ParseHeader(&pass.name, &pass.annotations);
            while (!Accept("}")) {
                pass.states.push_back(ParseState(false));
            }
            technique.passes.push_back(pass);
        }
        techniques_.push_back(technique);
    }

    // name [index] = value ; in a pass or in a sampler_state block.
    State ParseState(bool inSampler) {
        State state;
        state.line = Peek().line;
        const std::string name = Identifier();
        if (Accept("[")) {
            state.index = static_cast<uint32_t>(std::strtoul(Next().text.c_str(), nullptr, 0));
            Expect("]");
        }
        Expect("=");
        Type &type = state.variable.type;
        if (!inSampler && (SameText(name, "VertexShader") || SameText(name, "PixelShader"))) {
            const bool vertex = SameText(name, "VertexShader");
            state.operation = vertex ? kVertexShaderState : kPixelShaderState;
            type.type = vertex ? kVertexShader : kPixelShader;
            type.cls = kObject;
            if (Peek().text == "compile" || Peek().text == "NULL") {
                ParseShader(&state.variable);
            } else {
                state.referenced = Reference();
            }
            state.variable.value.push_back(NewObject());
        } else if (SameText(name, "Texture")) {
            state.operation = kTextureState;
            type.type = kTexture;
            type.cls = kObject;
            state.referenced = Reference();
            state.variable.value.push_back(NewObject());
        } else {
            const StateInfo *info = nullptr;
            for (const StateInfo &candidate : kStates) {
                if (SameText(name, candidate.name)) {
                    info = &candidate;
                }
            }
            if (info == nullptr || (inSampler && info->operation < 165)) {
                throw Failure(state.line, "state '" + name + "' is not supported");
            }
            state.operation = info->operation;
            type.type = info->isFloat ? kFloat : kInt;
            state.variable.value.push_back(StateValue(*info, &type));
        }
        Expect(";");
        return state;
    }
    // compile <profile> <entry>() or NULL.
    void ParseShader(Variable *shader) {
        const int line = Peek().line;
        if (Accept("NULL")) {
            return;
        }
        if (!Accept("compile")) {
            throw Failure(line, "a shader must be 'compile <profile> <entry>()' or NULL");
        }
        shader->profile = Identifier();
        shader->entry = Identifier();
        Expect("(");
        if (!Accept(")")) {
            throw Failure(line, "arguments to compiled shaders are not supported");
        }
        const bool vertex = shader->type.type == kVertexShader;
        if (shader->profile.compare(0, 3, vertex ? "vs_" : "ps_") != 0) {
            throw Failure(line, "profile " + shader->profile + " does not fit a " +
                                    (vertex ? "vertex" : "pixel") + " shader");
        }
    }
    // A parameter named as <name>, (name) or name.
    std::string Reference() {
        if (Accept("<")) {
            const std::string name = Identifier();
            Expect(">");
            return name;
        }
        if (Accept("(")) {
            const std::string name = Identifier();
            Expect(")");
            return name;
        }
        return Identifier();
    }

    uint32_t StateValue(const StateInfo &info, Type *type) {
        const int line = Peek().line;
        if (info.isFloat) {
            return Word(kFloat, Number());
        }
        uint32_t value = 0;
        do {
            const Token &token = Peek();
            uint32_t named = 0;
            if (token.kind == 'i' && LookUp(info.values, token.text, &named)) {
                Next();
                value |= named;
            } else if (token.text == "true" || token.text == "false") {
                type->type = kBool;
                value |= static_cast<uint32_t>(Number());
            } else if (token.kind == 'n' || token.text == "-" || token.text == "(") {
                value |= static_cast<uint32_t>(static_cast<int64_t>(Number()));
            } else {
                throw Failure(line, "'" + token.text + "' is not a value of " + info.name);
            }
        } while (Accept("|"));
        return value;
    }

    uint32_t NewObject() { return ++objects_; }

    std::vector<Token> tokens_;
    size_t at_ = 0;
};

// The effect binary's three parts.
class Writer {
  public:
    void Write(const Parser &parser, const std::map<std::string, std::string> &shaders) {
        shaders_ = &shaders;
        Put(&data_, 0); // offset 0: the empty string
        // Structured part: counts, then parameters, techniques, passes, states.
        Put(&structured_, static_cast<uint32_t>(parser.parameters_.size()));
        Put(&structured_, static_cast<uint32_t>(parser.techniques_.size()));
        Put(&structured_, 0);
        Put(&structured_, parser.objects_ + 1);
        for (size_t p = 0; p < parser.parameters_.size(); ++p) {
            const Variable &parameter = parser.parameters_[p];
            Put(&structured_, TypeOffset(parameter.type));
            Put(&structured_, ValueOffset(parameter, true));
            Put(&structured_, 0);
            Annotations(parameter.annotations);
            for (size_t s = 0; s < parameter.sampler.size(); ++s) {
                Resource(0xFFFFFFFF, static_cast<uint32_t>(p), static_cast<uint32_t>(s),
                         parameter.sampler[s]);
            }
        }
        for (size_t t = 0; t < parser.techniques_.size(); ++t) {
            const Technique &technique = parser.techniques_[t];
            Put(&structured_, String(technique.name));
            Put(&structured_, static_cast<uint32_t>(technique.annotations.size()));
            Put(&structured_, static_cast<uint32_t>(technique.passes.size()));
            AnnotationEntries(technique.annotations);
            for (size_t p = 0; p < technique.passes.size(); ++p) {
                const Pass &pass = technique.passes[p];
                Put(&structured_, String(pass.name));
                Put(&structured_, static_cast<uint32_t>(pass.annotations.size()));
                Put(&structured_, static_cast<uint32_t>(pass.states.size()));
                AnnotationEntries(pass.annotations);
                for (size_t s = 0; s < pass.states.size(); ++s) {
                    States(pass.states[s], &structured_);
                    Resource(static_cast<uint32_t>(t), static_cast<uint32_t>(p),
                             static_cast<uint32_t>(s), pass.states[s]);
                }
            }
        }
        Put(&structured_, strings_count_);
        Put(&structured_, resources_count_);
    }

    std::string Binary() const {
        std::string binary;
        Put(&binary, 0xFEFF0901);
        Put(&binary, static_cast<uint32_t>(data_.size()));
        return binary + data_ + structured_ + strings_ + resources_;
    }

  private:
    static void Put(std::string *into, uint32_t word) {
        into->append(reinterpret_cast<const char *>(&word), sizeof word);
    }
    static void PutBytes(std::string *into, const std::string &bytes) {
        Put(into, static_cast<uint32_t>(bytes.size()));
        *into += bytes;
        into->append((4 - bytes.size() % 4) % 4, '\0');
    }
    uint32_t Here() const { return static_cast<uint32_t>(data_.size()); }
    uint32_t String(const std::string &text) {
        if (text.empty()) {
            return 0;
        }
        const uint32_t offset = Here();
        PutBytes(&data_, text + '\0');
        return offset;
    }
    uint32_t TypeOffset(const Type &type) {
        const uint32_t name = String(type.name);
        const uint32_t semantic = String(type.semantic);
        const uint32_t offset = Here();
        for (uint32_t word : {type.type, type.cls, name, semantic, type.elements}) {
            Put(&data_, word);
        }
        if (type.cls == kVector) {
            Put(&data_, type.columns);
            Put(&data_, type.rows);
        } else if (type.cls != kObject) {
            Put(&data_, type.rows);
            Put(&data_, type.columns);
        }
        return offset;
    }
    uint32_t ValueOffset(const Variable &variable, bool parameter = false) {
        std::string states;
        if (variable.type.cls == kObject && variable.type.type >= kSampler &&
            variable.type.type <= 14) {
            Put(&states, static_cast<uint32_t>(variable.sampler.size()));
            for (const State &state : variable.sampler) {
                States(state, &states);
            }
        }
        // Strings and the code of shader parameters go to the string section;
        // shader states' code goes to the resources.
        if (variable.type.type == kString || (variable.IsShader() && parameter)) {
            Put(&strings_, variable.value[0]);
            PutBytes(&strings_, variable.IsShader() ? Code(variable) : variable.text + '\0');
            ++strings_count_;
        }
        const uint32_t offset = Here();
        for (uint32_t word : variable.value) {
            Put(&data_, word);
        }
        data_ += states;
        return offset;
    }
    // A state's four words; its type and value go into the data area first.
    void States(const State &state, std::string *into) {
        const uint32_t type = TypeOffset(state.variable.type);
        const uint32_t value = ValueOffset(state.variable);
        for (uint32_t word : {state.operation, state.index, type, value}) {
            Put(into, word);
        }
    }
    void Annotations(const std::vector<Variable> &annotations) {
        Put(&structured_, static_cast<uint32_t>(annotations.size()));
        AnnotationEntries(annotations);
    }
    void AnnotationEntries(const std::vector<Variable> &annotations) {
        for (const Variable &annotation : annotations) {
            const uint32_t type = TypeOffset(annotation.type);
            Put(&structured_, type);
            Put(&structured_, ValueOffset(annotation));
        }
    }
    // A shader's byte code; none for NULL.
    std::string Code(const Variable &shader) const {
        const auto code = shaders_->find(shader.profile + " " + shader.entry);
        return code != shaders_->end() ? code->second : "";
    }
    // A referenced parameter's name (usage 1) or shader byte code (usage 0).
    void Resource(uint32_t technique, uint32_t index, uint32_t state_index, const State &state) {
        if (!state.variable.IsShader() && state.referenced.empty()) {
            return;
        }
        for (uint32_t word : {technique, index, 0xFFFFFFFFu, state_index}) {
            Put(&resources_, word);
        }
        if (!state.referenced.empty()) {
            Put(&resources_, 1);
            PutBytes(&resources_, state.referenced + '\0');
        } else {
            Put(&resources_, 0);
            PutBytes(&resources_, Code(state.variable));
        }
        ++resources_count_;
    }

    const std::map<std::string, std::string> *shaders_ = nullptr;
    std::string data_, structured_, strings_, resources_;
    uint32_t strings_count_ = 0, resources_count_ = 0;
};

void Check(const Parser &parser, const State &state) {
    if (state.referenced.empty()) {
        return;
    }
    const uint32_t wanted = state.variable.type.type;
    for (const Variable &parameter : parser.parameters_) {
        const uint32_t type = parameter.type.type;
        if (parameter.type.name == state.referenced && parameter.type.cls == kObject &&
            (type == wanted || (wanted == kTexture && type > kTexture && type < kSampler))) {
            return;
        }
    }
    throw Failure(state.line, "'" + state.referenced + "' is not a " +
                                  (wanted == kTexture ? "texture" : "shader of that kind") +
                                  " parameter");
}

} // namespace

Output CompileEffect(const std::string &source, bool rowMajor) {
    Output output;
    try {
        Parser parser(source);
        parser.Parse();
        // Every parameter a state names must exist with the state's type: D3DX
        // would find out only after it has taken the binary apart.
        std::vector<const Variable *> candidates;
        for (const Variable &parameter : parser.parameters_) {
            candidates.push_back(&parameter);
            for (const State &state : parameter.sampler) {
                Check(parser, state);
            }
        }
        for (const Technique &technique : parser.techniques_) {
            for (const Pass &pass : technique.passes) {
                for (const State &state : pass.states) {
                    Check(parser, state);
                    candidates.push_back(&state.variable);
                }
            }
        }
        std::vector<Target> targets;
        for (const Variable *shader : candidates) {
            bool known = !shader->IsShader() || shader->entry.empty();
            for (const Target &target : targets) {
                known =
                    known || (target.entry == shader->entry && target.profile == shader->profile);
            }
            if (!known) {
                targets.push_back({shader->entry, shader->profile, rowMajor});
            }
        }
        const std::vector<Output> compiled = RunVkd3d(parser.hlsl_, targets);
        std::map<std::string, std::string> shaders;
        for (size_t i = 0; i < targets.size(); ++i) {
            output.messages += compiled[i].messages;
            if (FAILED(compiled[i].hr)) {
                output.hr = compiled[i].hr;
            }
            shaders[targets[i].profile + " " + targets[i].entry] = compiled[i].code;
        }
        if (FAILED(output.hr)) {
            return output;
        }
        Writer writer;
        writer.Write(parser, shaders);
        output.code = writer.Binary();
    } catch (const Failure &failure) {
        output.hr = E_FAIL;
        output.messages += failure.what();
    }
    return output;
}

} // namespace standin
