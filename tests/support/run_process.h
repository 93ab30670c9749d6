#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

// Runs a program with arguments (no shell), capturing stdout, stderr and the exit status.
struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

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
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    };
    r.out = slurp(out_file);
    r.err = slurp(err_file);
    std::remove(out_file.c_str());
    std::remove(err_file.c_str());
    return r;
}

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

// Starts a program (no shell) with its output discarded and, when `file_size_limit` is not
// negative, the largest file it may write limited to that many bytes. Returns its pid.
inline pid_t spawn_process(const std::string& program, const std::vector<std::string>& args,
                           long long file_size_limit = -1) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (file_size_limit >= 0) {
            const rlimit limit{static_cast<rlim_t>(file_size_limit), static_cast<rlim_t>(file_size_limit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits for a started program; its raw wait status.
inline int wait_process(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}
