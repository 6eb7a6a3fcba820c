#pragma once

// What the tests need of the system, on Linux and on Windows alike: temporary folders,
// the environment, and programs run with their output in files.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

// A new folder below the system's temporary folder, its name starting with `prefix`.
inline std::filesystem::path MakeTempFolder(const std::string& prefix)
{
#ifdef _WIN32
    std::random_device seed;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(seed()));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error))
            return folder;
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()))
        return pattern;
#endif
    throw std::runtime_error("cannot create a temporary folder");
}

inline void SetEnvironment(const char* name, const std::string& value)
{
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnvironment(const char* name)
{
#ifdef _WIN32
    _putenv_s(name, "");
#else
    ::unsetenv(name);
#endif
}

#ifdef _WIN32
// UTF-8 to the UTF-16 Windows takes.
inline std::wstring WideText(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

// One argument of a command line as the C runtime splits it again.
inline std::wstring QuotedArgument(const std::wstring& argument)
{
    std::wstring quoted = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        quoted.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        quoted += c;
    }
    quoted.append(slashes * 2, L'\\');
    return quoted + L"\"";
}
#endif

// Runs `program` with `args` (UTF-8), its standard output and error going to the files
// named, and `environment` (NAME=value entries) added to its environment. The exit
// status, or -1 when it could not be run or did not exit.
inline int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& outFile,
                      const std::filesystem::path& errFile, const std::vector<std::string>& environment = {})
{
#ifdef _WIN32
    for (const std::string& entry : environment)
        _putenv(entry.c_str());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto create = [&](const std::filesystem::path& name) {
        return CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    const HANDLE out = create(outFile);
    const HANDLE err = create(errFile);
    std::wstring commandLine = QuotedArgument(WideText(program));
    for (const std::string& arg : args)
        commandLine += L" " + QuotedArgument(WideText(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    int status = -1;
    if (out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code))
            status = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (HANDLE handle : {out, err})
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    for (const std::string& entry : environment)
        _putenv((entry.substr(0, entry.find('=') + 1)).c_str());
    return status;
#else
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> entries = environment;
    std::vector<char*> envp;
    for (std::string& entry : entries)
        envp.push_back(entry.data());
    for (char** entry = environ; *entry; ++entry)
        envp.push_back(*entry);
    envp.push_back(nullptr);
    pid_t pid;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int waited;
        waitpid(pid, &waited, 0);
        status = WIFEXITED(waited) ? WEXITSTATUS(waited) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return status;
#endif
}
