// The fake platform's shared core. Every fake (one per platform interface,
// in this folder) records the calls it receives in one log, so a test can
// compare the exact sequence across interfaces, answers with scripted
// results, and counts the COM objects it has alive.
//
// A fake that a test has not scripted behaves like a plausible platform:
// pure fakes succeed, forwarding fakes call the real function.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

namespace fake {

// ---- Call log -------------------------------------------------------------

// Appends one entry, printf-style: "IDirect3DDevice9::Clear(0, 3, 0xff000000)".
void Record(const char *format, ...) __attribute__((format(printf, 1, 2)));
// A copy: the sound worker thread may record while a test reads.
std::vector<std::string> Calls();
// The entries that start with `prefix`, in order.
std::vector<std::string> CallsOf(const std::string &prefix);
// How many entries start with `prefix`.
int CountOf(const std::string &prefix);
void ClearCalls();

// ---- Scripted results -----------------------------------------------------

// The `occurrence`-th next call of `name` (1 = the very next) returns `result`.
// Names are the log's: "IDirect3DDevice9::CreateTexture", "MessageBoxA".
void Fail(const std::string &name, HRESULT result, int occurrence = 1);
// Every call of `name` returns `result` until the scripts are reset.
void FailAlways(const std::string &name, HRESULT result);
// For fakes: counts a call of `name` and, when a script covers it, stores the
// scripted result and returns true.
bool Scripted(const std::string &name, HRESULT *result);
void ResetScripts();

// ---- Living objects -------------------------------------------------------

// COM objects created by the fakes and not yet released to zero.
int Alive();
void ObjectCreated();
void ObjectDestroyed();

// ---- Test base ------------------------------------------------------------

// Clears log and scripts before each test, and fails a test that leaves a
// fake COM object alive.
class Test : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

std::string Hex(unsigned long value);

// The platform's own function `name` of `module` (loaded on demand), for a
// fake that forwards what no test has scripted.
template <class Fn> Fn RealFunction(const char *module, const char *name) {
    HMODULE handle = LoadLibraryA(module);
    FARPROC proc = handle != nullptr ? GetProcAddress(handle, name) : nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void *>(proc));
}

// A reference-counted base for fake COM objects: Release to zero deletes
// the object and lowers the living count.
template <class Interface> class Object : public Interface {
  public:
    Object() { ObjectCreated(); }
    virtual ~Object() { ObjectDestroyed(); }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    ULONG Refs() const { return refs_; }

  protected:
    ULONG refs_ = 1;
};

} // namespace fake

// Replaces the dllimport function `name` with fake::Fake##name for the whole
// executable: the SDK calls it through the pointer __imp_##name, which the
// linker then takes from here instead of from the import library. `bytes`
// is the size of its arguments: 32-bit Windows decorates a WINAPI name with
// it (the pointer to RegisterClassExA is __imp__RegisterClassExA@4), checked
// against the declaration. FAKE_IMPORT_CDECL is for C runtime functions,
// which 32-bit Windows names with a leading underscore and no size.
#ifdef _WIN64
#define FAKE_IMPORT(name, bytes)                                                                   \
    extern "C" {                                                                                   \
    decltype(&name) __imp_##name = fake::Fake##name;                                               \
    }
#define FAKE_IMPORT_CDECL(name) FAKE_IMPORT(name, 0)
#else
namespace fake {
template <typename Result, typename... Args>
constexpr int ArgumentBytes(Result(WINAPI *)(Args...)) {
    return (0 + ... + static_cast<int>((sizeof(Args) + 3) / 4 * 4));
}
} // namespace fake
#define FAKE_IMPORT(name, bytes)                                                                   \
    static_assert(fake::ArgumentBytes(&name) == bytes, #name " takes " #bytes " argument bytes");  \
    decltype(&name) fake_import_##name asm("__imp__" #name "@" #bytes) = fake::Fake##name;
#define FAKE_IMPORT_CDECL(name)                                                                    \
    decltype(&name) fake_import_##name asm("__imp__" #name) = fake::Fake##name;
#endif
