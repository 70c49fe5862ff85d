// Reading the self-test's console output: six steps of four lines (status,
// then the eft, vsh and psh reports) and the closing line.
#pragma once

#include <fw/shader/shader.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace selftest_output {

// Runs TestShader and returns the lines it printed.
inline std::vector<std::string> Run() {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(TestShader(), 0);
    const std::string output = ::testing::internal::GetCapturedStdout();
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(output.substr(start, end - start));
    }
    return lines;
}

// The status line of `step` (1 to 6); empty when the output is short.
inline std::string Status(const std::vector<std::string> &lines, int step) {
    const size_t at = static_cast<size_t>(step - 1) * 4;
    return at < lines.size() ? lines[at] : std::string();
}

// The hexadecimal status that ends the line of `step`.
inline unsigned long StatusValue(const std::vector<std::string> &lines, int step) {
    const std::string line = Status(lines, step);
    const size_t at = line.rfind(" : ");
    return at != std::string::npos ? std::strtoul(line.c_str() + at + 3, nullptr, 16) : 0;
}

// What the step's three reports say was made, effect, vertex shader, pixel
// shader: "100", "011", ...; '?' for a report missing or not as printed.
inline std::string Made(const std::vector<std::string> &lines, int step) {
    static const char *const labels[] = {"eft : ", "vsh : ", "psh : "};
    std::string made;
    for (int i = 0; i < 3; ++i) {
        const size_t at = static_cast<size_t>(step - 1) * 4 + 1 + i;
        const std::string line = at < lines.size() ? lines[at] : std::string();
        if (line.size() != 14 || line.compare(0, 6, labels[i]) != 0) {
            made += '?';
        } else {
            made += line.substr(6) == "00000000" ? '0' : '1';
        }
    }
    return made;
}

} // namespace selftest_output
