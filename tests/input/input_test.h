// What the input behaviour tests share: a fixture over the fake DirectInput
// and the DirectInput part of the call log.
#pragma once

#include <fw/input/input.h>

#include "fake/dinput.h"
#include "fake/fake.h"
#include "fake/win32.h"

#include <string>
#include <vector>

namespace input_test {

constexpr HRESULT kUnplugged = DIERR_UNPLUGGED;

// Every case starts from the fake's defaults (one joystick that opens, keys
// up, stick centred) and ends with ReleaseInput, so that the living-object
// check of fake::Test sees whether it released everything.
class InputTest : public fake::Test {
  protected:
    void SetUp() override {
        fake::Test::SetUp();
        fake::ResetDirectInput();
    }
    void TearDown() override {
        ReleaseInput();
        fake::Test::TearDown();
    }
};

// The log's DirectInput entries, in order (other fakes' entries left out).
inline std::vector<std::string> InputCalls() {
    std::vector<std::string> result;
    for (const std::string &call : fake::Calls()) {
        for (const char *prefix : {"DirectInput8Create", "IDirectInput8::", "EnumDevicesCallback",
                                   "Keyboard::", "Joystick"}) {
            if (call.rfind(prefix, 0) == 0) {
                result.push_back(call);
                break;
            }
        }
    }
    return result;
}

// Names each parameterised case by the row's `name` column.
struct CaseName {
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case> &info) const {
        return info.param.name;
    }
};

inline std::string HexOf(const void *handle) {
    return fake::Hex(reinterpret_cast<ULONG_PTR>(handle));
}

} // namespace input_test
