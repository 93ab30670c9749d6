#pragma once

#include <string>
#include <vector>

#include "run_process.h"
#include "temp_dir.h"

// Runs the command-line tool (MELO_DSU_PATH, set by the test target) with `args`; its output
// is captured through files in `dir`.
inline ProcessResult melo_dsu(const std::vector<std::string>& args, const TempDir& dir) {
    return run_process(MELO_DSU_PATH, args, dir.root());
}
