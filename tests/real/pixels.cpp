#include "real/pixels.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pixels {
namespace {

// Releases the COM object it holds when it goes out of scope.
template <class Interface> class Held {
  public:
    Held() = default;
    Held(const Held &) = delete;
    Held &operator=(const Held &) = delete;
    ~Held() {
        if (object_ != nullptr) {
            object_->Release();
        }
    }
    Interface **Out() { return &object_; }
    Interface *Get() const { return object_; }
    Interface *operator->() const { return object_; }

  private:
    Interface *object_ = nullptr;
};

::testing::AssertionResult Failed(const char *step, HRESULT hr) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(hr));
    return ::testing::AssertionFailure() << step << " failed with " << text;
}

int Channel(D3DCOLOR color, int shift) { return static_cast<int>((color >> shift) & 0xFF); }

} // namespace

::testing::AssertionResult Read(IDirect3DDevice9 *device, IDirect3DSurface9 *surface,
                                Image *image) {
    if (device == nullptr || surface == nullptr) {
        return ::testing::AssertionFailure() << "no device or no surface to read";
    }
    D3DSURFACE_DESC desc;
    HRESULT hr = surface->GetDesc(&desc);
    if (FAILED(hr)) {
        return Failed("GetDesc", hr);
    }
    if (desc.Format != D3DFMT_X8R8G8B8 && desc.Format != D3DFMT_A8R8G8B8) {
        return ::testing::AssertionFailure() << "format " << desc.Format << " is not read";
    }
    Held<IDirect3DSurface9> resolved;
    hr = device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0,
                                    FALSE, resolved.Out(), nullptr);
    if (FAILED(hr)) {
        return Failed("CreateRenderTarget", hr);
    }
    hr = device->StretchRect(surface, nullptr, resolved.Get(), nullptr, D3DTEXF_NONE);
    if (FAILED(hr)) {
        return Failed("StretchRect", hr);
    }
    Held<IDirect3DSurface9> system;
    hr = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                             D3DPOOL_SYSTEMMEM, system.Out(), nullptr);
    if (FAILED(hr)) {
        return Failed("CreateOffscreenPlainSurface", hr);
    }
    hr = device->GetRenderTargetData(resolved.Get(), system.Get());
    if (FAILED(hr)) {
        return Failed("GetRenderTargetData", hr);
    }
    D3DLOCKED_RECT locked;
    hr = system->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr)) {
        return Failed("LockRect", hr);
    }
    image->width = desc.Width;
    image->height = desc.Height;
    image->format = desc.Format;
    image->data.resize(static_cast<size_t>(desc.Width) * desc.Height);
    const auto *row = static_cast<const unsigned char *>(locked.pBits);
    for (UINT y = 0; y < desc.Height; ++y, row += locked.Pitch) {
        std::memcpy(&image->data[static_cast<size_t>(y) * desc.Width], row,
                    desc.Width * sizeof(D3DCOLOR));
    }
    system->UnlockRect();
    return ::testing::AssertionSuccess();
}

RECT Inner(const Image &image, LONG margin) {
    return {margin, margin, static_cast<LONG>(image.width) - margin,
            static_cast<LONG>(image.height) - margin};
}

::testing::AssertionResult AreaIs(const Image &image, const RECT &area, D3DCOLOR expected,
                                  int tolerance) {
    if (area.left < 0 || area.top < 0 || area.right > static_cast<LONG>(image.width) ||
        area.bottom > static_cast<LONG>(image.height) || area.left >= area.right ||
        area.top >= area.bottom) {
        return ::testing::AssertionFailure()
               << "area outside the " << image.width << " x " << image.height << " image";
    }
    long wrong = 0;
    LONG firstX = 0, firstY = 0;
    for (LONG y = area.top; y < area.bottom; ++y) {
        for (LONG x = area.left; x < area.right; ++x) {
            const D3DCOLOR actual = image.At(static_cast<UINT>(x), static_cast<UINT>(y));
            for (int shift = 0; shift <= 16; shift += 8) {
                if (std::abs(Channel(actual, shift) - Channel(expected, shift)) > tolerance) {
                    if (wrong++ == 0) {
                        firstX = x;
                        firstY = y;
                    }
                    break;
                }
            }
        }
    }
    if (wrong == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << wrong << " pixels differ from " << ColorText(expected) << " by more than "
           << tolerance << "; the first, (" << firstX << ", " << firstY << "), is "
           << ColorText(image.At(static_cast<UINT>(firstX), static_cast<UINT>(firstY)));
}

int Count(const Image &image, const RECT &area, D3DCOLOR color, int tolerance) {
    int count = 0;
    for (LONG y = area.top; y < area.bottom; ++y) {
        for (LONG x = area.left; x < area.right; ++x) {
            count += AreaIs(image, {x, y, x + 1, y + 1}, color, tolerance) ? 1 : 0;
        }
    }
    return count;
}

::testing::AssertionResult Same(const Image &actual, const Image &expected, int tolerance) {
    if (actual.width != expected.width || actual.height != expected.height) {
        return ::testing::AssertionFailure() << "the images differ in size";
    }
    long wrong = 0;
    size_t first = 0;
    for (size_t i = 0; i < expected.data.size(); ++i) {
        for (int shift = 0; shift <= 16; shift += 8) {
            if (std::abs(Channel(actual.data[i], shift) - Channel(expected.data[i], shift)) >
                tolerance) {
                first = wrong++ == 0 ? i : first;
                break;
            }
        }
    }
    if (wrong == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << wrong << " pixels differ by more than " << tolerance << "; the first, ("
           << first % expected.width << ", " << first / expected.width << "), is "
           << ColorText(actual.data[first]) << " instead of " << ColorText(expected.data[first]);
}

std::string ColorText(D3DCOLOR color) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(color));
    return text;
}

} // namespace pixels
