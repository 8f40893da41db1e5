// Throughput of the memory-card device's whole-file transfers, side by side
// with the standard tools on the same file system, in one invocation:
//   WriteFromMemory of a vector   against  cp of a file of the same size
//   ReadToMemory into a vector    against  cat file > /dev/null
// Usage: bench_card_transfer [folder] [MiB]   (default: a scratch folder
// under $TMPDIR or /tmp, 256 MiB). The best of several rounds counts.
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
const int ROUNDS = 5;

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

// Best time in seconds of ROUNDS runs; prepare runs untimed before each.
double Best(const std::function<bool()>& run, const std::function<void()>& prepare)
{
    double best = 1e30;
    for (int round = 0; round < ROUNDS; ++round)
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
}

int main(int argc, char** argv)
{
    std::string folder;
    bool scratch = false;
    if (argc > 1)
    {
        folder = argv[1];
    }
    else
    {
        const char* tmp = std::getenv("TMPDIR");
        folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/pontiro-bench-XXXXXX";
        if (!mkdtemp(&folder[0]))
        {
            std::perror("mkdtemp");
            return 1;
        }
        scratch = true;
    }
    const std::size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 256;
    const std::size_t size = mib << 20;

    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>((i * 2654435761u) >> 13);

    VDXRDEVCARD card(folder);
    const std::string source = folder + "/source.bin";
    const std::string cpTarget = folder + "/cp.bin";
    const std::string ourTarget = folder + "/ours.bin";
    if (!card.WriteFromMemory(bytes, "/source.bin"))
    {
        std::fprintf(stderr, "cannot write %s\n", source.c_str());
        return 1;
    }
    Run({"sync"});

    const auto removeTargets = [&] {
        unlink(cpTarget.c_str());
        unlink(ourTarget.c_str());
        Run({"sync"});
    };
    std::printf("%zu MiB in %s, best of %d rounds\n", mib, folder.c_str(), ROUNDS);

    const double cp = Best([&] { return Run({"cp", source, cpTarget}); }, removeTargets);
    const double cpSync = Best([&] { return Run({"cp", source, cpTarget}) && Run({"sync", cpTarget}); },
                               removeTargets);
    const double write = Best([&] { return card.WriteFromMemory(bytes, "/ours.bin"); }, removeTargets);
    Report("WriteFromMemory (flushed, renamed)", mib, write, "cp", cp);
    Report("WriteFromMemory (flushed, renamed)", mib, write, "cp + sync of the file", cpSync);

    const double cat = Best([&] { return Run({"cat", source}); }, [] {});
    std::vector<unsigned char> back;
    const double readFresh = Best([&] { return card.ReadToMemory("/source.bin", back); },
                                  [&] { std::vector<unsigned char>().swap(back); });
    const double readReused = Best([&] { return card.ReadToMemory("/source.bin", back); }, [] {});
    Report("ReadToMemory (new vector)", mib, readFresh, "cat > /dev/null", cat);
    Report("ReadToMemory (vector reused)", mib, readReused, "cat > /dev/null", cat);
    if (back != bytes)
    {
        std::fprintf(stderr, "read back differs\n");
        return 1;
    }

    unlink(source.c_str());
    removeTargets();
    if (scratch)
        rmdir(folder.c_str());
    return 0;
}
