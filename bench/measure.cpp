// Runs a command and prints its wall time, CPU time and peak memory as one line:
// "wall_s cpu_s peak_kib". Usage: measure COMMAND [ARG...]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fputs("usage: measure COMMAND [ARG...]\n", stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        std::perror(argv[1]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0) {
        std::perror("measure");
        return 2;
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("%.3f %.3f %ld\n", wall.count(), cpu, usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
