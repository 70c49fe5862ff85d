// The exports: D3DCompile and D3DCompile2 (HLSL and fx_2_0 effects),
// D3DCreateBlob, and D3DAssemble, handed to Wine's own compiler.
#include "standin.h"

#include <d3dcompiler.h>

#include <cstring>
#include <new>

namespace standin {
namespace {

class Blob : public ID3DBlob {
  public:
    explicit Blob(const void *data, size_t size)
        : data_(static_cast<const char *>(data), static_cast<const char *>(data) + size) {}
    virtual ~Blob() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_ID3D10Blob)) {
            AddRef();
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) {
            delete this;
        }
        return refs;
    }
    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return data_.data(); }
    SIZE_T STDMETHODCALLTYPE GetBufferSize() override { return data_.size(); }

  private:
    LONG refs_ = 1;
    std::string data_;
};

// The text of an #include line's file name, or empty when `line` is none.
std::string IncludedName(const std::string &line, D3D_INCLUDE_TYPE *type) {
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line[at] != '#') {
        return "";
    }
    at = line.find_first_not_of(" \t", at + 1);
    if (at == std::string::npos || line.compare(at, 7, "include") != 0) {
        return "";
    }
    at = line.find_first_not_of(" \t", at + 7);
    if (at == std::string::npos || (line[at] != '"' && line[at] != '<')) {
        return "";
    }
    const char close = line[at] == '"' ? '"' : '>';
    *type = close == '"' ? D3D_INCLUDE_LOCAL : D3D_INCLUDE_SYSTEM;
    const size_t end = line.find(close, at + 1);
    return end == std::string::npos ? "" : line.substr(at + 1, end - at - 1);
}

// Replaces every #include line with the file that the include handler gives
// for it (vkd3d-compiler only reads files). A file the handler cannot open
// keeps its line, so that the compiler reports it where it is reached.
bool ExpandIncludes(ID3DInclude *include, const std::string &text, const void *parent, int depth,
                    std::string *out, std::string *messages) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        D3D_INCLUDE_TYPE type = D3D_INCLUDE_LOCAL;
        const std::string name = IncludedName(line, &type);
        LPCVOID data = nullptr;
        UINT size = 0;
        if (name.empty() || include == nullptr ||
            FAILED(include->Open(type, name.c_str(), parent, &data, &size))) {
            *out += line;
        } else {
            if (depth > 32) {
                include->Close(data);
                *messages += "d3dcompiler_47 stand-in: #include nested too deeply\n";
                return false;
            }
            const bool expanded =
                ExpandIncludes(include, std::string(static_cast<const char *>(data), size), data,
                               depth + 1, out, messages);
            include->Close(data);
            if (!expanded) {
                return false;
            }
            *out += "\n";
        }
        start = end;
    }
    return true;
}

// D3DCOMPILE_STANDARD_FILE_INCLUDE: files relative to the current folder.
class FileInclude : public ID3DInclude {
  public:
    HRESULT STDMETHODCALLTYPE Open(D3D_INCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID *data,
                                   UINT *size) override {
        HANDLE file =
            CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return E_FAIL;
        }
        const DWORD length = GetFileSize(file, nullptr);
        char *buffer = new (std::nothrow) char[length + 1];
        DWORD got = 0;
        const BOOL read = buffer != nullptr && ReadFile(file, buffer, length, &got, nullptr);
        CloseHandle(file);
        if (!read) {
            delete[] buffer;
            return E_FAIL;
        }
        *data = buffer;
        *size = got;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close(LPCVOID data) override {
        delete[] static_cast<const char *>(data);
        return S_OK;
    }
};

// Compile flags other than the matrix packing are ignored.
HRESULT Compile(const void *data, SIZE_T size, const D3D_SHADER_MACRO *defines,
                ID3DInclude *include, const char *entry, const char *target, UINT flags,
                ID3DBlob **code, ID3DBlob **errors) {
    if (code != nullptr) {
        *code = nullptr;
    }
    if (errors != nullptr) {
        *errors = nullptr;
    }
    if (data == nullptr || target == nullptr || code == nullptr) {
        return E_INVALIDARG;
    }
    // NOTE: vkd3d-compiler takes no macros on its command line; they go in
    // front of the source, which moves its line numbers by as many lines.
    std::string source;
    for (const D3D_SHADER_MACRO *macro = defines; macro != nullptr && macro->Name != nullptr;
         ++macro) {
        source += std::string("#define ") + macro->Name + " " +
                  (macro->Definition != nullptr ? macro->Definition : "") + "\n";
    }
    FileInclude files;
    if (include == D3D_COMPILE_STANDARD_FILE_INCLUDE) {
        include = &files;
    }
    std::string text(static_cast<const char *>(data), size);
    text = text.substr(0, text.find('\0'));
    const bool rowMajor = (flags & D3DCOMPILE_PACK_MATRIX_ROW_MAJOR) != 0;
    Output output;
    if (!ExpandIncludes(include, text, nullptr, 0, &source, &output.messages)) {
        output.hr = E_FAIL;
    } else if (std::strcmp(target, "fx_2_0") == 0) {
        output = RunVkd3d(source, {{"main", "E"}})[0];
        if (SUCCEEDED(output.hr)) {
            output = CompileEffect(output.code, rowMajor);
        }
    } else {
        output = RunVkd3d(source, {{entry != nullptr ? entry : "main", target, rowMajor}})[0];
    }
    if (SUCCEEDED(output.hr)) {
        *code = NewBlob(output.code.data(), output.code.size());
        if (*code == nullptr) {
            output.hr = E_OUTOFMEMORY;
        }
    }
    if (errors != nullptr && !output.messages.empty()) {
        *errors = NewBlob(output.messages.c_str(), output.messages.size() + 1);
    }
    return output.hr;
}

} // namespace

ID3DBlob *NewBlob(const void *data, size_t size) { return new (std::nothrow) Blob(data, size); }

} // namespace standin

extern "C" {

HRESULT WINAPI D3DCompile2(const void *data, SIZE_T size, const char *,
                           const D3D_SHADER_MACRO *defines, ID3DInclude *include, const char *entry,
                           const char *target, UINT flags, UINT effectFlags, UINT, const void *,
                           SIZE_T, ID3DBlob **code, ID3DBlob **errors) {
    return standin::Compile(data, size, defines, include, entry, target, flags | effectFlags, code,
                            errors);
}

// Wine's D3DX passes an effect's creation flags as the effect flags; the
// matrix packing flag does not clash with any effect flag.
HRESULT WINAPI D3DCompile(const void *data, SIZE_T size, const char *,
                          const D3D_SHADER_MACRO *defines, ID3DInclude *include, const char *entry,
                          const char *target, UINT flags, UINT effectFlags, ID3DBlob **code,
                          ID3DBlob **errors) {
    return standin::Compile(data, size, defines, include, entry, target, flags | effectFlags, code,
                            errors);
}

HRESULT WINAPI D3DCreateBlob(SIZE_T size, ID3DBlob **blob) {
    if (blob == nullptr) {
        return E_INVALIDARG;
    }
    std::string zeros(size, '\0');
    *blob = standin::NewBlob(zeros.data(), size);
    return *blob != nullptr ? S_OK : E_OUTOFMEMORY;
}

// Shader assembly is Wine's own compiler's work: a copy of its DLL beside
// this one (or beside the program), under another name, since the name
// d3dcompiler_47 is this DLL's.
HRESULT WINAPI D3DAssemble(const void *data, SIZE_T size, const char *name,
                           const D3D_SHADER_MACRO *defines, ID3DInclude *include, UINT flags,
                           ID3DBlob **code, ID3DBlob **errors) {
    using Assemble = decltype(&D3DAssemble);
    static Assemble assemble = nullptr;
    if (assemble == nullptr) {
        if (HMODULE wine = LoadLibraryA("wine_d3dcompiler_47.dll")) {
            assemble = reinterpret_cast<Assemble>(
                reinterpret_cast<void *>(GetProcAddress(wine, "D3DAssemble")));
        }
    }
    if (assemble == nullptr) {
        if (errors != nullptr) {
            static const char message[] =
                "d3dcompiler_47 stand-in: wine_d3dcompiler_47.dll is missing\n";
            *errors = standin::NewBlob(message, sizeof message);
        }
        return E_FAIL;
    }
    return assemble(data, size, name, defines, include, flags, code, errors);
}

} // extern "C"
