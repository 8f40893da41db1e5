// What the all-or-nothing upload costs: the same run of the download and
// upload threads (no window) onto a card that stages, verifies and commits,
// and onto the same card told that it cannot stage, so that its file is
// written straight onto the target (flushed, but neither read back nor
// committed beside the old one); beside them curl + cp + sync. The switch is
// the benchmark's own, not the program's.
#ifndef PONTIRO_BENCH_SYNC_STAGINGCOST_H
#define PONTIRO_BENCH_SYNC_STAGINGCOST_H

#include <string>

// On the tmpfs card (where a flush and a read-back cost only the copying)
// and on a card folder in scratch, on the disk (where they reach the
// medium); curl writes into the tmpfs card. url is the speed-camera request,
// expected a file with the bytes the service sends. Prints the comparison;
// false when a run failed or wrote other bytes.
bool ReportStagingCosts(const std::string& url, const std::string& expected, const std::string& tmpfsCard,
                        const std::string& scratch, long mib, int rounds);

#endif
