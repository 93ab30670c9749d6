#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Runs a program with arguments (no shell), capturing stdout, stderr and the exit status.
struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string slurp_output(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

#ifdef _WIN32

#include "platform/windows_support.h"

#include <windows.h>

// A command line that the program's CommandLineToArgvW splits into exactly these arguments.
inline std::wstring quoted_argument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring q = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        q.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, L'\\');
    return q + L"\"";
}

using ProcessHandle = HANDLE;

// Starts a program with its output going to the given files (or nowhere).
inline HANDLE start_process(const std::string& program, const std::vector<std::string>& args,
                            const std::string& out_file = {}, const std::string& err_file = {}) {
    std::wstring command = quoted_argument(melo::wide_text(program));
    for (const std::string& a : args) {
        command += L" " + quoted_argument(melo::wide_text(a));
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    auto open_output = [&](const std::string& file) {
        return CreateFileW(file.empty() ? L"NUL" : melo::wide_text(file).c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    const HANDLE out = open_output(out_file);
    const HANDLE err = open_output(err_file);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        return nullptr;
    }
    CloseHandle(info.hThread);
    return info.hProcess;
}

inline HANDLE spawn_process(const std::string& program, const std::vector<std::string>& args) {
    return start_process(program, args);
}

// The exit status a killed program reports here; melo-dsu never returns it.
inline constexpr int kKilledStatus = 0xDEAD;

inline void kill_process(HANDLE process) {
    TerminateProcess(process, kKilledStatus);
}

// Waits for a started program; its exit status.
inline int wait_process(HANDLE process) {
    if (process == nullptr) {
        return -1;
    }
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<int>(code);
}

inline bool was_killed(int status) {
    return status == kKilledStatus;
}

inline ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& scratch_dir) {
    const std::string out_file = scratch_dir + "\\.stdout";
    const std::string err_file = scratch_dir + "\\.stderr";
    ProcessResult r;
    r.status = wait_process(start_process(program, args, out_file, err_file));
    // Console output ends its lines with CR LF here; the tests compare lines.
    auto lines = [](std::string text) {
        for (std::size_t at = text.find("\r\n"); at != std::string::npos;
             at = text.find("\r\n", at)) {
            text.erase(at, 1);
        }
        return text;
    };
    r.out = lines(slurp_output(out_file));
    r.err = lines(slurp_output(err_file));
    std::remove(out_file.c_str());
    std::remove(err_file.c_str());
    return r;
}

#else

#include <sys/wait.h>

inline std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

inline ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& scratch_dir) {
    const std::string out_file = scratch_dir + "/.stdout";
    const std::string err_file = scratch_dir + "/.stderr";
    std::string command = shell_quote(program);
    for (const auto& a : args) {
        command += " " + shell_quote(a);
    }
    command += " >" + shell_quote(out_file) + " 2>" + shell_quote(err_file);
    ProcessResult r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp_output(out_file);
    r.err = slurp_output(err_file);
    std::remove(out_file.c_str());
    std::remove(err_file.c_str());
    return r;
}

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

// In a forked child: replaces it by `program` with `args`; exit status 127 when it cannot start.
[[noreturn]] inline void exec_program(const std::string& program,
                                      const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

// Starts a program (no shell) with its output discarded and, when `file_size_limit` is not
// negative, the largest file it may write limited to that many bytes. Returns its pid.
inline pid_t spawn_process(const std::string& program, const std::vector<std::string>& args,
                           long long file_size_limit = -1) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (file_size_limit >= 0) {
            const rlimit limit{static_cast<rlim_t>(file_size_limit),
                               static_cast<rlim_t>(file_size_limit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        exec_program(program, args);
    }
    return pid;
}

using ProcessHandle = pid_t;

inline void kill_process(pid_t pid) {
    ::kill(pid, SIGKILL);
}

// Waits for a started program; its raw wait status.
inline int wait_process(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

inline bool was_killed(int status) {
    return WIFSIGNALED(status);
}

// The status run_process_within gives a program it had to end.
inline constexpr int kTimedOut = -2;

// Runs a program as run_process does, but no longer than `deadline`: a program still running
// then is killed and its status is kTimedOut. A test of something that could hang ends anyway.
inline ProcessResult run_process_within(const std::string& program,
                                        const std::vector<std::string>& args,
                                        const std::string& scratch_dir,
                                        std::chrono::milliseconds deadline) {
    const std::string out_file = scratch_dir + "/.stdout";
    const std::string err_file = scratch_dir + "/.stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
        ::dup2(::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        exec_program(program, args);
    }
    ProcessResult r;
    const auto end = std::chrono::steady_clock::now() + deadline;
    int raw = 0;
    while (::waitpid(pid, &raw, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &raw, 0);
            raw = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    r.status = raw == -1 ? kTimedOut : WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp_output(out_file);
    r.err = slurp_output(err_file);
    std::remove(out_file.c_str());
    std::remove(err_file.c_str());
    return r;
}

#endif // _WIN32
