// What the sync benchmark's parts share: the clock, the median of the
// rounds, and the standard tools doing what the program does beside it.
#ifndef PONTIRO_BENCH_SYNC_TOOLRUN_H
#define PONTIRO_BENCH_SYNC_TOOLRUN_H

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using BenchClock = std::chrono::steady_clock;

inline double Since(BenchClock::time_point start)
{
    return std::chrono::duration<double>(BenchClock::now() - start).count();
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline int Shell(const std::string& command)
{
    return std::system(command.c_str());
}

// Seconds for curl to fetch url into download and cp to copy that into copy,
// followed by a sync of the copy when asked; negative when a tool failed.
// Both files are gone afterwards.
inline double TimeCurlCp(const std::string& url, const std::string& download, const std::string& copy,
                         bool sync)
{
    const auto start = BenchClock::now();
    const int rc = Shell("curl -s -f -o '" + download + "' '" + url + "' && cp '" + download + "' '" + copy + "'" +
                         (sync ? " && sync '" + copy + "'" : std::string()));
    const double seconds = Since(start);
    std::remove(copy.c_str());
    std::remove(download.c_str());
    return rc == 0 ? seconds : -1;
}

#endif
