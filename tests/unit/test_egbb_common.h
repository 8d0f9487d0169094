// Shared by the bitbase tests: the generated three- and four-men files of the build tree.
#pragma once
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The build directory: the test executables live in its tests/ directory.
inline std::string egbb_build_dir() {
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string p(exe, n > 0 ? (size_t)n : 0);
    p = p.substr(0, p.rfind('/'));
    return p.substr(0, p.rfind('/'));
}

// Directory (with a trailing '/') of the generated files, generating them on first use with
// every table checked against the prober; "" when the generator fails. A lock file keeps test
// processes running side by side from generating at the same time.
inline std::string egbb_files() {
    static std::string dir;
    static bool tried = false;
    if (tried) return dir;
    tried = true;
    const std::string build = egbb_build_dir(), out = build + "/egbb-files";
    mkdir(out.c_str(), 0755);
    const int fd = open((out + "/.lock").c_str(), O_CREAT | O_RDWR, 0644);
    flock(fd, LOCK_EX);
    const std::string cmd = build + "/tools/bbgen/vrk-bbgen --verify 2000 " + out +
                            " all3 all4 >> " + out + "/generation.log 2>&1";
    const int rc = std::system(cmd.c_str());
    flock(fd, LOCK_UN);
    close(fd);
    if (rc == 0) dir = out + "/";
    return dir;
}
