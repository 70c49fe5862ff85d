// Running vkd3d-compiler, a Linux program, from inside Wine.
#include "standin.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

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

Output RunVkd3d(const std::string &source, const std::string &entry, const std::string &profile) {
    char dll[MAX_PATH];
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&RunVkd3d), &self);
    const std::string unixDll = UnixPath(std::string(dll, GetModuleFileNameA(self, dll, MAX_PATH)));
    if (unixDll.empty()) {
        return Failure("d3dcompiler_47 stand-in: runs under Wine only\n");
    }
    if (!IsWord(entry) || !IsWord(profile)) {
        return Failure("d3dcompiler_47 stand-in: invalid entry point or profile\n");
    }
    static LONG runs = 0;
    char name[64];
    std::snprintf(name, sizeof name, "fw-hlsl-%lu-%ld", GetCurrentProcessId(),
                  InterlockedIncrement(&runs));
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + name;
    const std::string unixFolder = UnixPath(folder);
    // The DLL may be a link beside the program: vkd3d sits beside the file
    // it links to. `timeout` ends a hung compiler before the caller gives up.
    const std::string what = profile == "E" ? "-E" : "-b d3dbc -p " + profile + " -e " + entry;
    const std::string script =
        "vkd3d=\"$(dirname \"$(readlink -f '" + unixDll +
        "')\")/vkd3d\"\n"
        "lib=\"$vkd3d/usr/lib/x86_64-linux-gnu\"\n"
        "if [ -x \"$vkd3d/usr/bin/vkd3d-compiler\" ]; then\n"
        "    timeout " +
        kTimeout +
        " \"$lib/ld-linux-x86-64.so.2\" --library-path \"$lib\" "
        "\"$vkd3d/usr/bin/vkd3d-compiler\" -x hlsl " +
        what +
        " -o out shader.hlsl 2>messages\n"
        "    echo $? >status.tmp\n"
        "else\n"
        "    echo \"d3dcompiler_47 stand-in: vkd3d-compiler is missing from $vkd3d"
        " (tools/deps.sh fetches it)\" >messages\n"
        "    echo 1 >status.tmp\n"
        "fi\n"
        "mv status.tmp status\n";
    if (!CreateDirectoryA(folder.c_str(), nullptr) || unixFolder.empty() ||
        !WriteFile(folder + "\\shader.hlsl", source) || !WriteFile(folder + "\\run", script)) {
        DeleteFileA((folder + "\\shader.hlsl").c_str());
        RemoveDirectoryA(folder.c_str());
        return Failure("d3dcompiler_47 stand-in: cannot write " + folder + "\n");
    }
    // NOTE: Wine hands back no process handle that follows a Unix program
    // (it is signalled at once), so the script leaves the exit status in a
    // file, renamed into place when it is complete. Wine also refuses to
    // start the loader itself; the shell execs it.
    std::string command = "Z:\\bin\\sh -c \"cd '" + unixFolder + "' && exec /bin/sh run\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    Output output;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
        output = Failure("d3dcompiler_47 stand-in: cannot start /bin/sh\n");
    } else {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        const std::string status = folder + "\\status";
        const DWORD start = GetTickCount();
        while (GetFileAttributesA(status.c_str()) == INVALID_FILE_ATTRIBUTES &&
               GetTickCount() - start < kLimitMs) {
            Sleep(1);
        }
        const std::string code = ReadFile(status);
        output.messages = ReadFile(folder + "\\messages");
        if (code.empty()) {
            output.hr = E_FAIL;
            output.messages += "d3dcompiler_47 stand-in: vkd3d-compiler did not end\n";
        } else if (std::atoi(code.c_str()) != 0) {
            output.hr = E_FAIL;
            if (std::atoi(code.c_str()) == 124) {
                output.messages += "d3dcompiler_47 stand-in: vkd3d-compiler timed out\n";
            }
        } else {
            output.code = ReadFile(folder + "\\out");
        }
    }
    for (const char *file : {"shader.hlsl", "run", "out", "messages", "status"}) {
        DeleteFileA((folder + "\\" + file).c_str());
    }
    RemoveDirectoryA(folder.c_str());
    return output;
}

} // namespace standin
