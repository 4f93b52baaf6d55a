// Runs a program and captures its exit status and output, for the mac end-to-end tests.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <fstream>
#include <sstream>

extern char** environ;

namespace mactest {

struct RunResult {
    int exitCode = -1; // -1 when killed by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

inline std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Starts `args` with stdout and stderr sent to the given files; returns the pid.
inline pid_t spawn(const std::vector<std::string>& args, const std::string& outFile,
                   const std::string& errFile) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

inline RunResult wait(pid_t pid, const std::string& outFile, const std::string& errFile) {
    RunResult r;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        r.err = "could not run the program";
        return r;
    }
    if (WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.signal = WTERMSIG(status);
    r.out = slurp(outFile);
    r.err = slurp(errFile);
    return r;
}

// Runs to completion; output goes through files in `scratch`.
inline RunResult run(const std::vector<std::string>& args, const std::string& scratch) {
    const std::string o = scratch + "/.stdout", e = scratch + "/.stderr";
    const RunResult r = wait(spawn(args, o, e), o, e);
    ::unlink(o.c_str());
    ::unlink(e.c_str());
    return r;
}

} // namespace mactest
