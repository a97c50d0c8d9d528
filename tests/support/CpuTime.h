// CPU time used so far, for benchmarks that give a cost as a share of a core.
#pragma once

#include <sys/resource.h>
#include <time.h>

namespace morvelant::testsupport {

// Of the calling thread, in seconds.
inline double ThreadCpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Of the whole process (user and system), in seconds.
inline double ProcessCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace morvelant::testsupport
