// Running vkd3d-compiler, a Linux program, from inside Wine.
#include "standin.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace standin {
namespace {

// A compile that has not ended by then has hung; `timeout` ends it a little
// earlier, so the marker still comes.
constexpr DWORD kLimitMs = 30000;
constexpr const char *kTimeout = "20";

std::string ReadFile(const std::string &path) {
    std::string text;
    if (FILE *file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            text.append(buffer, got);
        }
        std::fclose(file);
    }
    return text;
}

bool WriteFile(const std::string &path, const std::string &text) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

// Wine's name of a Windows path on the Unix side; empty outside Wine.
std::string UnixPath(const std::string &path) {
    using Convert = char *(CDECL *)(LPCWSTR);
    const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    wchar_t wide[MAX_PATH];
    if (convert == nullptr ||
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0) {
        return "";
    }
    char *unix = convert(wide);
    if (unix == nullptr) {
        return "";
    }
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

bool IsWord(const std::string &text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!(isalnum(static_cast<unsigned char>(c)) || c == '_')) {
            return false;
        }
    }
    return true;
}

Output Failure(const std::string &message) {
    Output output;
    output.hr = E_FAIL;
    output.messages = message;
    return output;
}

} // namespace

std::vector<Output> RunVkd3d(const std::string &source, const std::vector<Target> &targets) {
    std::vector<Output> outputs(targets.size());
    if (targets.empty()) {
        return outputs;
    }
    const auto fail = [&outputs](const std::string &message) {
        for (Output &output : outputs) {
            output = Failure(message);
        }
        return outputs;
    };
    char dll[MAX_PATH];
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&RunVkd3d), &self);
    const std::string unixDll = UnixPath(std::string(dll, GetModuleFileNameA(self, dll, MAX_PATH)));
    if (unixDll.empty()) {
        return fail("d3dcompiler_47 stand-in: runs under Wine only\n");
    }
    // The DLL may be a link beside the program: vkd3d sits beside the file
    // it links to. The compiles run side by side; `timeout` ends a hung one
    // before the caller gives up.
    std::string script = "vkd3d=\"$(dirname \"$(readlink -f '" + unixDll +
                         "')\")/vkd3d\"\n"
                         "lib=\"$vkd3d/usr/lib/x86_64-linux-gnu\"\n"
                         "if [ -x \"$vkd3d/usr/bin/vkd3d-compiler\" ]; then\n";
    std::string all;
    for (size_t i = 0; i < targets.size(); ++i) {
        const Target &target = targets[i];
        if (!IsWord(target.entry) || !IsWord(target.profile)) {
            return fail("d3dcompiler_47 stand-in: invalid entry point or profile\n");
        }
        const std::string n = std::to_string(i);
        const std::string what = target.profile == "E"
                                     ? "-E"
                                     : "-b d3dbc --allow-half-globals -p " + target.profile +
                                           " -e " + target.entry +
                                           (target.rowMajor ? " --matrix-storage-order=row" : "");
        script += std::string("    (timeout ") + kTimeout +
                  " \"$lib/ld-linux-x86-64.so.2\" --library-path \"$lib\" "
                  "\"$vkd3d/usr/bin/vkd3d-compiler\" -x hlsl " +
                  what + " -o out" + n + " shader.hlsl 2>messages" + n + "; echo $? >status" + n +
                  ") &\n";
        all += " " + n;
    }
    script += "    wait\n"
              "else\n"
              "    for i in" +
              all +
              "; do\n"
              "        echo \"d3dcompiler_47 stand-in: vkd3d-compiler is missing from $vkd3d"
              " (tools/deps.sh fetches it)\" >messages$i\n"
              "        echo 1 >status$i\n"
              "    done\n"
              "fi\n"
              ": >done\n";
    static LONG runs = 0;
    char name[64];
    std::snprintf(name, sizeof name, "fw-hlsl-%lu-%ld", GetCurrentProcessId(),
                  InterlockedIncrement(&runs));
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + name + "\\";
    const std::string unixFolder = UnixPath(folder);
    std::vector<std::string> files = {"shader.hlsl", "run", "done"};
    for (size_t i = 0; i < targets.size(); ++i) {
        for (const char *file : {"out", "messages", "status"}) {
            files.push_back(file + std::to_string(i));
        }
    }
    const auto clean = [&]() {
        for (const std::string &file : files) {
            DeleteFileA((folder + file).c_str());
        }
        RemoveDirectoryA(folder.c_str());
    };
    if (!CreateDirectoryA(folder.c_str(), nullptr) || unixFolder.empty() ||
        !WriteFile(folder + "shader.hlsl", source) || !WriteFile(folder + "run", script)) {
        clean();
        return fail("d3dcompiler_47 stand-in: cannot write " + folder + "\n");
    }
    // NOTE: Wine hands back no process handle that follows a Unix program
    // (it is signalled at once), so the script makes the file "done" once
    // every status file is written. Wine also refuses to start the loader
    // itself; the shell does.
    std::string command = "Z:\\bin\\sh -c \"cd '" + unixFolder + "' && exec /bin/sh run\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
        clean();
        return fail("d3dcompiler_47 stand-in: cannot start /bin/sh\n");
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const DWORD start = GetTickCount();
    while (GetFileAttributesA((folder + "done").c_str()) == INVALID_FILE_ATTRIBUTES &&
           GetTickCount() - start < kLimitMs) {
        Sleep(1);
    }
    for (size_t i = 0; i < targets.size(); ++i) {
        const std::string n = std::to_string(i);
        const std::string status = ReadFile(folder + "status" + n);
        Output &output = outputs[i];
        output.messages = ReadFile(folder + "messages" + n);
        if (status.empty()) {
            output.hr = E_FAIL;
            output.messages += "d3dcompiler_47 stand-in: vkd3d-compiler did not end\n";
        } else if (std::atoi(status.c_str()) != 0) {
            output.hr = E_FAIL;
            if (std::atoi(status.c_str()) == 124) {
                output.messages += "d3dcompiler_47 stand-in: vkd3d-compiler timed out\n";
            }
        } else {
            output.code = ReadFile(folder + "out" + n);
        }
    }
    clean();
    return outputs;
}

} // namespace standin
