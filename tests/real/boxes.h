// Answers the real message boxes captioned "Error" that this process shows,
// as a user pressing OK would, and keeps their texts: a real-platform test
// that makes the framework fail would otherwise wait for a user forever.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace boxes {

// While it exists, a thread of its own answers every "Error" box of this
// process within a few milliseconds.
class Answerer {
  public:
    Answerer();
    ~Answerer();
    Answerer(const Answerer &) = delete;
    Answerer &operator=(const Answerer &) = delete;

    // The texts of the boxes answered so far, in order, "\n" included.
    std::vector<std::string> Texts();

  private:
    static DWORD WINAPI Run(void *self);
    static BOOL CALLBACK Visit(HWND window, LPARAM self);

    std::mutex lock_;
    std::vector<std::string> texts_;
    std::vector<HWND> answered_; // boxes told to close and not yet gone
    std::atomic<bool> stop_{false};
    HANDLE thread_;
};

} // namespace boxes
