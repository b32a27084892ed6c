/* Runs one command and writes its wall time, CPU time and peak RSS to a file.

       run-measured RESULT-FILE COMMAND [ARG...]

   walkers.py starts the tools through this instead of forking them from Python: Linux
   carries a process's high-water RSS over execve, so a tool forked from the interpreter
   would report at least the interpreter's own peak (~14 MiB) and the footprint of a small
   tool such as du would be invisible.  Forked from this small program, the floor is
   about 1 MiB, and walkers.py subtracts it with the run on an empty folder. */

#define _GNU_SOURCE
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s RESULT-FILE COMMAND [ARG...]\n", argv[0]);
        return 2;
    }

    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = fork();
    if (pid < 0) {
        perror("fork");
        return 2;
    }
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        fprintf(stderr, "%s: %s\n", argv[2], strerror(errno));
        _exit(127);
    }

    int status;
    struct rusage ru;
    while (wait4(pid, &status, 0, &ru) < 0) {
        if (errno != EINTR) {
            perror("wait4");
            return 2;
        }
    }
    clock_gettime(CLOCK_MONOTONIC, &end);

    FILE *out = fopen(argv[1], "w");
    if (!out) {
        perror(argv[1]);
        return 2;
    }
    long long wall_ns = (long long)(end.tv_sec - start.tv_sec) * 1000000000LL
                        + (end.tv_nsec - start.tv_nsec);
    long long cpu_us = (long long)(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000000LL
                       + ru.ru_utime.tv_usec + ru.ru_stime.tv_usec;
    fprintf(out, "%lld %lld %ld %d\n", wall_ns, cpu_us, ru.ru_maxrss, status);
    return fclose(out) == 0 ? 0 : 2;
}
