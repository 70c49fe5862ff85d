#include "fake/fake.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>

namespace fake {
namespace {

// Function-local statics: the C runtime may reach a fake (Sleep,
// GetModuleHandleA) before this file's globals are constructed.
std::mutex &CallLock() {
    static std::mutex lock; // guards the log and the scripts
    return lock;
}
std::vector<std::string> &CallLog() {
    static std::vector<std::string> log;
    return log;
}

struct Script {
    std::vector<std::pair<int, HRESULT>> pending; // (calls still to skip, result)
    bool always = false;
    HRESULT alwaysResult = S_OK;
};
std::map<std::string, Script> &Scripts() {
    static std::map<std::string, Script> scripts;
    return scripts;
}

std::atomic<int> alive;

} // namespace

void Record(const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::lock_guard<std::mutex> hold(CallLock());
    CallLog().emplace_back(text);
}

std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> hold(CallLock());
    return CallLog();
}

std::vector<std::string> CallsOf(const std::string &prefix) {
    std::vector<std::string> result;
    for (const std::string &call : Calls()) {
        if (call.compare(0, prefix.size(), prefix) == 0) {
            result.push_back(call);
        }
    }
    return result;
}

int CountOf(const std::string &prefix) { return static_cast<int>(CallsOf(prefix).size()); }

void ClearCalls() {
    std::lock_guard<std::mutex> hold(CallLock());
    CallLog().clear();
}

void Fail(const std::string &name, HRESULT result, int occurrence) {
    std::lock_guard<std::mutex> hold(CallLock());
    Scripts()[name].pending.emplace_back(occurrence, result);
}

void FailAlways(const std::string &name, HRESULT result) {
    std::lock_guard<std::mutex> hold(CallLock());
    Script &script = Scripts()[name];
    script.always = true;
    script.alwaysResult = result;
}

bool Scripted(const std::string &name, HRESULT *result) {
    std::lock_guard<std::mutex> hold(CallLock());
    auto found = Scripts().find(name);
    if (found == Scripts().end()) {
        return false;
    }
    Script &script = found->second;
    bool hit = false;
    for (auto it = script.pending.begin(); it != script.pending.end();) {
        if (--it->first == 0) {
            *result = it->second;
            hit = true;
            it = script.pending.erase(it);
        } else {
            ++it;
        }
    }
    if (!hit && script.always) {
        *result = script.alwaysResult;
        hit = true;
    }
    return hit;
}

void ResetScripts() {
    std::lock_guard<std::mutex> hold(CallLock());
    Scripts().clear();
}

int Alive() { return alive; }
void ObjectCreated() { ++alive; }
void ObjectDestroyed() { --alive; }

void Test::SetUp() {
    ClearCalls();
    ResetScripts();
}

void Test::TearDown() { EXPECT_EQ(Alive(), 0) << "fake COM objects left alive"; }

std::string Hex(unsigned long value) {
    char text[32];
    snprintf(text, sizeof text, "0x%lx", value);
    return text;
}

} // namespace fake
