#include "fake/d3dx_resources.h"

#include "fake/d3d9.h"
#include "fake/d3dx_buffer.h"
#include "fake/fake.h"

#include <cstring>
#include <map>

namespace fake {
namespace {

HRESULT Answer(const std::string &name, HRESULT normal) {
    HRESULT result;
    return Scripted(name, &result) ? result : normal;
}

std::string NextLabel(const std::string &kind) {
    static std::map<std::string, int> counts;
    return kind + std::to_string(++counts[kind]);
}

std::vector<XMaterial> DefaultMaterials() {
    D3DMATERIAL9 white = {};
    white.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    D3DMATERIAL9 red = {};
    red.Diffuse = {1.0f, 0.0f, 0.0f, 1.0f};
    return {{white, "white.png"}, {red, ""}};
}

std::vector<XMaterial> &Materials() {
    static std::vector<XMaterial> materials = DefaultMaterials();
    return materials;
}

std::vector<std::string> &Texts() {
    static std::vector<std::string> texts;
    return texts;
}

// A labelled fake whose calls are recorded as "Interface::Method(label...)".
template <class Interface> class Labelled : public Object<Interface> {
  public:
    Labelled(const char *iface, const char *kind) : iface_(iface), label_(NextLabel(kind)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Call("Release");
        return Object<Interface>::Release();
    }

  protected:
    // Records "Interface::method(label)" and answers its script or S_OK.
    HRESULT Call(const char *method) {
        const std::string name = iface_ + "::" + method;
        Record("%s(%s)", name.c_str(), label_.c_str());
        return Answer(name, S_OK);
    }

  public:
    const char *Label() const { return label_.c_str(); }

  private:
    std::string iface_;
    std::string label_;
};

#define FAKE_NAMED(type, name, params, value)                                                      \
    type STDMETHODCALLTYPE name params override {                                                  \
        Call(#name);                                                                               \
        return value;                                                                              \
    }
#define FAKE_CALL(name, params)                                                                    \
    HRESULT STDMETHODCALLTYPE name params override { return Call(#name); }

// ---- Mesh -------------------------------------------------------------------

class FakeMesh final : public Labelled<ID3DXMesh> {
  public:
    FakeMesh() : Labelled("ID3DXMesh", "mesh") {}

    HRESULT STDMETHODCALLTYPE DrawSubset(DWORD subset) override {
        auto texture = Device().textures.find(0);
        Record("ID3DXMesh::DrawSubset(%s, %lu, %s)", Label(), subset,
               fake::Label(texture != Device().textures.end() ? texture->second : nullptr).c_str());
        return Answer("ID3DXMesh::DrawSubset", S_OK);
    }
    FAKE_NAMED(DWORD, GetNumFaces, (), 2)
    FAKE_NAMED(DWORD, GetNumVertices, (), 4)
    FAKE_NAMED(DWORD, GetFVF, (), D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1)
    FAKE_NAMED(HRESULT, GetDeclaration, (D3DVERTEXELEMENT9 *), E_NOTIMPL)
    FAKE_NAMED(DWORD, GetNumBytesPerVertex, (), 32)
    FAKE_NAMED(DWORD, GetOptions, (), D3DXMESH_MANAGED)
    FAKE_NAMED(HRESULT, GetDevice, (IDirect3DDevice9 **), E_NOTIMPL)
    FAKE_NAMED(HRESULT, CloneMeshFVF, (DWORD, DWORD, IDirect3DDevice9 *, ID3DXMesh **), E_NOTIMPL)
    FAKE_NAMED(HRESULT, CloneMesh,
               (DWORD, const D3DVERTEXELEMENT9 *, IDirect3DDevice9 *, ID3DXMesh **), E_NOTIMPL)
    FAKE_NAMED(HRESULT, GetVertexBuffer, (IDirect3DVertexBuffer9 **), E_NOTIMPL)
    FAKE_NAMED(HRESULT, GetIndexBuffer, (IDirect3DIndexBuffer9 **), E_NOTIMPL)
    FAKE_NAMED(HRESULT, LockVertexBuffer, (DWORD, void **), E_NOTIMPL)
    FAKE_CALL(UnlockVertexBuffer, ())
    FAKE_NAMED(HRESULT, LockIndexBuffer, (DWORD, void **), E_NOTIMPL)
    FAKE_CALL(UnlockIndexBuffer, ())
    FAKE_NAMED(HRESULT, GetAttributeTable, (D3DXATTRIBUTERANGE *, DWORD *), E_NOTIMPL)
    FAKE_NAMED(HRESULT, ConvertPointRepsToAdjacency, (const DWORD *, DWORD *), E_NOTIMPL)
    FAKE_NAMED(HRESULT, ConvertAdjacencyToPointReps, (const DWORD *, DWORD *), E_NOTIMPL)
    FAKE_NAMED(HRESULT, GenerateAdjacency, (FLOAT, DWORD *), E_NOTIMPL)
    FAKE_NAMED(HRESULT, UpdateSemantics, (D3DVERTEXELEMENT9 *), E_NOTIMPL)
    FAKE_NAMED(HRESULT, LockAttributeBuffer, (DWORD, DWORD **), E_NOTIMPL)
    FAKE_CALL(UnlockAttributeBuffer, ())
    FAKE_NAMED(HRESULT, Optimize,
               (DWORD, const DWORD *, DWORD *, DWORD *, ID3DXBuffer **, ID3DXMesh **), E_NOTIMPL)
    FAKE_NAMED(HRESULT, OptimizeInplace, (DWORD, const DWORD *, DWORD *, DWORD *, ID3DXBuffer **),
               E_NOTIMPL)
    FAKE_NAMED(HRESULT, SetAttributeTable, (const D3DXATTRIBUTERANGE *, DWORD), E_NOTIMPL)
};

// D3DXMATERIAL records followed by the texture names they point to.
ID3DXBuffer *MaterialBuffer(const std::vector<XMaterial> &materials) {
    size_t size = materials.size() * sizeof(D3DXMATERIAL);
    for (const XMaterial &m : materials) {
        size += m.texture.size() + 1;
    }
    std::vector<unsigned char> bytes(size == 0 ? 1 : size);
    ID3DXBuffer *buffer = NewBuffer(bytes.data(), bytes.size());
    auto *records = static_cast<D3DXMATERIAL *>(buffer->GetBufferPointer());
    char *names = reinterpret_cast<char *>(records + materials.size());
    for (size_t i = 0; i < materials.size(); ++i) {
        records[i].MatD3D = materials[i].material;
        records[i].pTextureFilename = nullptr;
        if (!materials[i].texture.empty()) {
            std::strcpy(names, materials[i].texture.c_str());
            records[i].pTextureFilename = names;
            names += materials[i].texture.size() + 1;
        }
    }
    return buffer;
}

// ---- Sprite and font --------------------------------------------------------

class FakeSprite final : public Labelled<ID3DXSprite> {
  public:
    FakeSprite() : Labelled("ID3DXSprite", "sprite") {}

    FAKE_NAMED(HRESULT, GetDevice, (IDirect3DDevice9 **), E_NOTIMPL)
    FAKE_NAMED(HRESULT, GetTransform, (D3DXMATRIX *), E_NOTIMPL)
    FAKE_CALL(SetTransform, (const D3DXMATRIX *))
    FAKE_CALL(SetWorldViewRH, (const D3DXMATRIX *, const D3DXMATRIX *))
    FAKE_CALL(SetWorldViewLH, (const D3DXMATRIX *, const D3DXMATRIX *))
    HRESULT STDMETHODCALLTYPE Begin(DWORD flags) override {
        Record("ID3DXSprite::Begin(%s, 0x%lx)", Label(), flags);
        return Answer("ID3DXSprite::Begin", S_OK);
    }
    FAKE_CALL(Draw, (IDirect3DTexture9 *, const RECT *, const D3DXVECTOR3 *, const D3DXVECTOR3 *,
                     D3DCOLOR))
    FAKE_CALL(Flush, ())
    FAKE_CALL(End, ())
    FAKE_CALL(OnLostDevice, ())
    FAKE_CALL(OnResetDevice, ())
};

class FakeFont final : public Labelled<ID3DXFont> {
  public:
    FakeFont() : Labelled("ID3DXFont", "font") {}

    FAKE_NAMED(HRESULT, GetDevice, (IDirect3DDevice9 **), E_NOTIMPL)
    FAKE_NAMED(HRESULT, GetDescA, (D3DXFONT_DESCA *), E_NOTIMPL)
    FAKE_NAMED(HRESULT, GetDescW, (D3DXFONT_DESCW *), E_NOTIMPL)
    FAKE_NAMED(WINBOOL, GetTextMetricsA, (TEXTMETRICA *), FALSE)
    FAKE_NAMED(WINBOOL, GetTextMetricsW, (TEXTMETRICW *), FALSE)
    FAKE_NAMED(HDC, GetDC, (), nullptr)
    FAKE_NAMED(HRESULT, GetGlyphData, (UINT, IDirect3DTexture9 **, RECT *, POINT *), E_NOTIMPL)
    FAKE_CALL(PreloadCharacters, (UINT, UINT))
    FAKE_CALL(PreloadGlyphs, (UINT, UINT))
    FAKE_CALL(PreloadTextA, (const char *, INT))
    FAKE_CALL(PreloadTextW, (const WCHAR *, INT))
    INT STDMETHODCALLTYPE DrawTextA(ID3DXSprite *sprite, const char *text, INT count, RECT *rect,
                                    DWORD format, D3DCOLOR color) override {
        const auto *fakeSprite = dynamic_cast<const FakeSprite *>(sprite);
        Record("ID3DXFont::DrawTextA(%s, %s, %d, %ld, %ld, 0x%lx, 0x%08lx)", Label(),
               fakeSprite != nullptr ? fakeSprite->Label() : "NULL", count, rect->left, rect->top,
               format, color);
        Texts().push_back(text);
        return 16;
    }
    FAKE_NAMED(INT, DrawTextW, (ID3DXSprite *, const WCHAR *, INT, RECT *, DWORD, D3DCOLOR), 0)
    FAKE_CALL(OnLostDevice, ())
    FAKE_CALL(OnResetDevice, ())
};

} // namespace

std::vector<XMaterial> &XFileMaterials() { return Materials(); }

SIZE &ImageSize() {
    static SIZE size = {64, 32};
    return size;
}

const std::vector<std::string> &DrawnTexts() { return Texts(); }

void ResetD3DXResources() {
    Materials() = DefaultMaterials();
    ImageSize() = {64, 32};
    Texts().clear();
}

} // namespace fake

using fake::Record;

HRESULT WINAPI D3DXLoadMeshFromXA(const char *name, DWORD options, IDirect3DDevice9 *,
                                  ID3DXBuffer **adjacency, ID3DXBuffer **materials,
                                  ID3DXBuffer **effects, DWORD *count, ID3DXMesh **mesh) {
    Record("D3DXLoadMeshFromXA(%s, 0x%lx)", name, options);
    *mesh = nullptr;
    const HRESULT hr = fake::Answer("D3DXLoadMeshFromXA", S_OK);
    if (FAILED(hr) || adjacency != nullptr || effects != nullptr) {
        return FAILED(hr) ? hr : E_NOTIMPL;
    }
    *mesh = new fake::FakeMesh();
    if (materials != nullptr) {
        *materials = fake::MaterialBuffer(fake::Materials());
    }
    if (count != nullptr) {
        *count = static_cast<DWORD>(fake::Materials().size());
    }
    return S_OK;
}

HRESULT WINAPI D3DXGetImageInfoFromFileA(const char *name, D3DXIMAGE_INFO *info) {
    Record("D3DXGetImageInfoFromFileA(%s)", name);
    const HRESULT hr = fake::Answer("D3DXGetImageInfoFromFileA", S_OK);
    if (SUCCEEDED(hr)) {
        *info = {};
        info->Width = static_cast<UINT>(fake::ImageSize().cx);
        info->Height = static_cast<UINT>(fake::ImageSize().cy);
        info->Depth = 1;
        info->MipLevels = 1;
        info->Format = D3DFMT_X8R8G8B8;
        info->ResourceType = D3DRTYPE_TEXTURE;
        info->ImageFileFormat = D3DXIFF_PNG;
    }
    return hr;
}

HRESULT WINAPI D3DXCreateTextureFromFileExA(IDirect3DDevice9 *device, const char *name, UINT width,
                                            UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                            D3DCOLOR colorKey, D3DXIMAGE_INFO *, PALETTEENTRY *,
                                            IDirect3DTexture9 **texture) {
    Record("D3DXCreateTextureFromFileExA(%s, %u, %u, %u, 0x%lx, %d, %d, 0x%lx, 0x%lx, 0x%08lx)",
           name, width, height, levels, usage, format, pool, filter, mipFilter, colorKey);
    *texture = nullptr;
    const HRESULT hr = fake::Answer("D3DXCreateTextureFromFileExA", S_OK);
    if (FAILED(hr)) {
        return hr;
    }
    const auto size = [](UINT given, LONG image) {
        return given == 0 || given == D3DX_DEFAULT ? static_cast<UINT>(image) : given;
    };
    return device->CreateTexture(
        size(width, fake::ImageSize().cx), size(height, fake::ImageSize().cy), levels, usage,
        format == D3DFMT_UNKNOWN ? D3DFMT_X8R8G8B8 : format, pool, texture, nullptr);
}

HRESULT WINAPI D3DXCreateSprite(IDirect3DDevice9 *, ID3DXSprite **sprite) {
    Record("D3DXCreateSprite");
    const HRESULT hr = fake::Answer("D3DXCreateSprite", S_OK);
    *sprite = SUCCEEDED(hr) ? new fake::FakeSprite() : nullptr;
    return hr;
}

HRESULT WINAPI D3DXCreateFontIndirectA(IDirect3DDevice9 *, const D3DXFONT_DESCA *desc,
                                       ID3DXFont **font) {
    Record("D3DXCreateFontIndirectA(%s, %d, %u, %u, %u, %d, %u, %u, %u, %u)", desc->FaceName,
           desc->Height, desc->Width, desc->Weight, desc->MipLevels, desc->Italic, desc->CharSet,
           desc->OutputPrecision, desc->Quality, desc->PitchAndFamily);
    const HRESULT hr = fake::Answer("D3DXCreateFontIndirectA", S_OK);
    *font = SUCCEEDED(hr) ? new fake::FakeFont() : nullptr;
    return hr;
}
