#include "fake/d3dx_buffer.h"

#include "fake/fake.h"

#include <cstring>
#include <string>
#include <vector>

namespace fake {
namespace {

int &BufferCount() {
    static int count = 0;
    return count;
}

class FakeBuffer final : public Object<ID3DXBuffer> {
  public:
    FakeBuffer(const void *data, size_t size)
        : label_("buffer" + std::to_string(++BufferCount())), bytes_(size) {
        if (size != 0) {
            std::memcpy(bytes_.data(), data, size);
        }
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Record("ID3DXBuffer::Release(%s)", label_.c_str());
        return Object::Release();
    }
    void *STDMETHODCALLTYPE GetBufferPointer() override { return bytes_.data(); }
    DWORD STDMETHODCALLTYPE GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

  private:
    std::string label_;
    std::vector<unsigned char> bytes_;
};

} // namespace

ID3DXBuffer *NewBuffer(const void *data, size_t size) { return new FakeBuffer(data, size); }

} // namespace fake
