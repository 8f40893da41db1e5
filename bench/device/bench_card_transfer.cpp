// Throughput of the memory-card device's whole-file transfers, side by side
// with the standard tools on the same file system, in one invocation:
//   WriteFromMemory of a vector   against  cp of a file of the same size
//   WriteStaged + VerifyStaged    against  WriteStaged alone
//   ReadToMemory into a vector    against  cat file > /dev/null
// Usage: bench_card_transfer [folder|-] [MiB] [rounds]   (default: scratch
// folders under $TMPDIR or /tmp and in /dev/shm, 256 MiB, 5 rounds). The
// best round of each side counts.
#include "device/vdxrdevcard.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace
{
int g_rounds = 5;

typedef std::chrono::steady_clock Clock;

// Runs a tool with its output to /dev/null; false when it failed.
bool Run(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return rc == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Best time in seconds of g_rounds runs; prepare runs untimed before each.
double Best(const std::function<bool()>& run, const std::function<void()>& prepare)
{
    double best = 1e30;
    for (int round = 0; round < g_rounds; ++round)
    {
        prepare();
        const auto start = Clock::now();
        if (!run())
        {
            std::fprintf(stderr, "a run failed\n");
            std::exit(1);
        }
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

void Report(const char* what, double mib, double ours, const char* tool, double theirs)
{
    std::printf("%-34s %8.1f MiB/s   %-22s %8.1f MiB/s   ratio %.2f\n", what, mib / ours, tool,
                mib / theirs, theirs / ours);
}


// One folder's measurements; false when a transfer failed.
bool Measure(const std::string& folder, std::size_t mib, const std::vector<unsigned char>& bytes)
{
    VDXRDEVCARD card(folder);
    const std::string source = folder + "/source.bin";
    const std::string cpTarget = folder + "/cp.bin";
    const std::string ourTarget = folder + "/ours.bin";
    if (!card.WriteFromMemory(bytes, "/source.bin"))
    {
        std::fprintf(stderr, "cannot write %s\n", source.c_str());
        return false;
    }
    Run({"sync"});

    const auto removeTargets = [&] {
        unlink(cpTarget.c_str());
        unlink(ourTarget.c_str());
        Run({"sync"});
    };
    std::printf("\n%zu MiB in %s, best of %d rounds\n", mib, folder.c_str(), g_rounds);

    const double cp = Best([&] { return Run({"cp", source, cpTarget}); }, removeTargets);
    const double cpSync = Best([&] { return Run({"cp", source, cpTarget}) && Run({"sync", cpTarget}); },
                               removeTargets);
    const double write = Best([&] { return card.WriteFromMemory(bytes, "/ours.bin"); }, removeTargets);
    Report("WriteFromMemory (flushed, renamed)", mib, write, "cp", cp);
    Report("WriteFromMemory (flushed, renamed)", mib, write, "cp + sync of the file", cpSync);

    // A run's staged write, with and without its read-back from the card.
    const std::string staged = ourTarget + ".pontiro-new";
    const auto removeStaged = [&] {
        unlink(staged.c_str());
        Run({"sync"});
    };
    const double stage = Best([&] { return card.WriteStaged(bytes, "/ours.bin"); }, removeStaged);
    const double verify = Best([&] {
        return card.WriteStaged(bytes, "/ours.bin") && card.VerifyStaged(bytes, "/ours.bin");
    }, removeStaged);
    Report("WriteStaged + VerifyStaged", mib, verify, "WriteStaged alone", stage);
    removeStaged();

    const double cat = Best([&] { return Run({"cat", source}); }, [] {});
    std::vector<unsigned char> back;
    const double readFresh = Best([&] { return card.ReadToMemory("/source.bin", back); },
                                  [&] { std::vector<unsigned char>().swap(back); });
    const double readReused = Best([&] { return card.ReadToMemory("/source.bin", back); }, [] {});
    Report("ReadToMemory (new vector)", mib, readFresh, "cat > /dev/null", cat);
    Report("ReadToMemory (vector reused)", mib, readReused, "cat > /dev/null", cat);

    unlink(source.c_str());
    removeTargets();
    if (back != bytes)
    {
        std::fprintf(stderr, "read back differs\n");
        return false;
    }
    return true;
}

std::string ScratchFolder(const std::string& base)
{
    std::string folder = base + "/pontiro-bench-XXXXXX";
    return mkdtemp(&folder[0]) ? folder : std::string();
}
}

int main(int argc, char** argv)
{
    const std::size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 256;
    if (argc > 3)
        g_rounds = std::max(1, std::atoi(argv[3]));
    std::vector<unsigned char> bytes(mib << 20);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>((i * 2654435761u) >> 13);

    if (argc > 1 && std::string(argv[1]) != "-")
        return Measure(argv[1], mib, bytes) ? 0 : 1;

    // By default: the temporary folder's file system, and memory (where
    // flushing costs nothing) when it is another one.
    const char* tmp = std::getenv("TMPDIR");
    std::vector<std::string> bases = {tmp && *tmp ? tmp : "/tmp"};
    struct stat first, shm;
    if (stat(bases[0].c_str(), &first) == 0 && stat("/dev/shm", &shm) == 0 && first.st_dev != shm.st_dev)
        bases.push_back("/dev/shm");
    for (const std::string& base : bases)
    {
        const std::string folder = ScratchFolder(base);
        if (folder.empty())
        {
            std::perror("mkdtemp");
            return 1;
        }
        const bool measured = Measure(folder, mib, bytes);
        rmdir(folder.c_str());
        if (!measured)
            return 1;
    }
    return 0;
}
