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
