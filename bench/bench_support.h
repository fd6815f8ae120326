#pragma once
// Helpers shared by the benchmark programs.

#include <QByteArray>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>

// Median seconds per call of f over seven rounds of n calls.
template <typename F> double secondsPerCall(F&& f, int n) {
    std::vector<double> rounds;
    for (int r = 0; r < 7; ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < n; ++i)
            f();
        rounds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / n);
    }
    std::nth_element(rounds.begin(), rounds.begin() + 3, rounds.end());
    return rounds[3];
}

// Runs a program in a process of its own and returns its peak resident size in kilobytes, or -1
// when it did not exit with status 0.
inline long peakKbOfRun(const std::vector<QByteArray>& args) {
    std::vector<char*> argv;
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}
