// Throughput of the memory-card device's whole-file transfers, side by side
// with the standard tools on the same file system, in one invocation:
//   WriteFromMemory of a vector   against  cp, and cp + sync of the file
//   ReadToMemory into a new vector      against  cp of the file into tmpfs
//                                       (and cat > /dev/null)
//   ReadToMemory into a reused vector   against  cat file > /dev/null
//   WriteStaged + VerifyStaged          against  WriteStaged alone
//                                       (what the read-back costs)
// Usage: bench_card_transfer [folder|-] [MiB] [rounds] [ours]
// (default: scratch folders under $TMPDIR or /tmp and in /dev/shm, 256 MiB,
// 5 rounds). The rounds take every side in turn, so a load that comes and
// goes meets all of them; the best round of each side counts. "ours" runs
// only the program's side, for a profiler.
#include "bench/machineload.h"
#include "device/vdxrdevcard.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace
{
int g_rounds = 5;
bool g_oursOnly = false;

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

// One side of a comparison: prepare runs untimed before each timed run.
struct Side
{
    std::function<bool()> run;
    std::function<void()> prepare;
    bool ours;
    double best;
};

Side Ours(std::function<bool()> run, std::function<void()> prepare)
{
    return Side{std::move(run), std::move(prepare), true, 1e30};
}

Side Tool(std::function<bool()> run, std::function<void()> prepare)
{
    return Side{std::move(run), std::move(prepare), false, 1e30};
}

// Every side once per round, in the order given; false when a run failed.
bool Measure(std::vector<Side*> sides)
{
    for (int round = 0; round < g_rounds; ++round)
        for (Side* side : sides)
        {
            if (g_oursOnly && !side->ours)
                continue;
            side->prepare();
            const auto start = Clock::now();
            if (!side->run())
                return false;
            side->best = std::min(side->best, std::chrono::duration<double>(Clock::now() - start).count());
        }
    return true;
}

// One comparison line: both sides by name, and the ratio of their speeds
// (the program's over the tool's), with the aim when there is one.
void Report(const char* what, double mib, const Side& ours, const char* tool, const Side& theirs,
            double aim = 0)
{
    const double ratio = theirs.best / ours.best;
    std::printf("%-34s %8.1f MiB/s   %-22s %8.1f MiB/s   ratio %.2f", what, mib / ours.best, tool,
                mib / theirs.best, ratio);
    if (aim > 0)
        std::printf(" (aim >= %.2f: %s)", aim, ratio >= aim ? "met" : "missed");
    std::printf("\n");
}

std::string FileSystemName(const std::string& folder)
{
    struct statfs info;
    if (statfs(folder.c_str(), &info) != 0)
        return "unknown file system";
    switch (static_cast<unsigned long>(info.f_type))
    {
    case 0xEF53:
        return "ext4";
    case 0x01021994:
        return "tmpfs";
    case 0x58465342:
        return "xfs";
    case 0x9123683E:
        return "btrfs";
    case 0x4d44:
        return "vfat";
    default:
        char hex[32];
        std::snprintf(hex, sizeof hex, "file system 0x%lx", static_cast<unsigned long>(info.f_type));
        return hex;
    }
}

std::string ScratchFolder(const std::string& base)
{
    std::string folder = base + "/pontiro-bench-XXXXXX";
    return mkdtemp(&folder[0]) ? folder : std::string();
}

// One folder's measurements; false when a transfer failed. memory is a
// folder on tmpfs for the copy the read is held against.
bool MeasureFolder(const std::string& folder, const std::string& memory, std::size_t mib,
                   const ByteVector& bytes)
{
    VDXRDEVCARD card(folder);
    const std::string source = folder + "/source.bin";
    const std::string cpTarget = folder + "/cp.bin";
    const std::string ourTarget = folder + "/ours.bin";
    const std::string memoryCopy = memory + "/copy.bin";
    if (!card.WriteFromMemory(bytes, "/source.bin"))
    {
        std::fprintf(stderr, "cannot write %s\n", source.c_str());
        return false;
    }
    Run({"sync"});
    // The write leaves the file on the card only; the reads compare from
    // the system's cache, as cat would find a file used a moment ago.
    Run({"cat", source});

    const auto removeTargets = [&] {
        unlink(cpTarget.c_str());
        unlink(ourTarget.c_str());
        Run({"sync"});
    };
    const auto nothing = [] {};
    ByteVector back;

    Side cp = Tool([&] { return Run({"cp", source, cpTarget}); }, removeTargets);
    Side cpSync = Tool([&] { return Run({"cp", source, cpTarget}) && Run({"sync", cpTarget}); }, removeTargets);
    Side write = Ours([&] { return card.WriteFromMemory(bytes, "/ours.bin"); }, removeTargets);
    Side cat = Tool([&] { return Run({"cat", source}); }, nothing);
    Side copy = Tool([&] { return Run({"cp", source, memoryCopy}); }, [&] { unlink(memoryCopy.c_str()); });
    Side readFresh = Ours([&] { return card.ReadToMemory("/source.bin", back); },
                          [&] { ByteVector().swap(back); });
    // Runs after the fresh read, which left the vector filled.
    Side readReused = Ours([&] { return card.ReadToMemory("/source.bin", back); }, nothing);
    // A run's staged write, with and without its read-back from the card.
    const std::string staged = ourTarget + ".pontiro-new";
    const auto removeStaged = [&] {
        unlink(staged.c_str());
        Run({"sync"});
    };
    Side stage = Ours([&] { return card.WriteStaged(bytes, "/ours.bin"); }, removeStaged);
    Side verify = Ours([&] { return card.WriteStaged(bytes, "/ours.bin") && card.VerifyStaged(bytes, "/ours.bin"); },
                       removeStaged);

    std::printf("\n%zu MiB in %s (%s), best of %d rounds\n", mib, folder.c_str(), FileSystemName(folder).c_str(),
                g_rounds);
    const bool measured = Measure({&cp, &cpSync, &write, &cat, &copy, &readFresh, &readReused, &stage, &verify});
    unlink(memoryCopy.c_str());
    removeStaged();
    unlink(source.c_str());
    removeTargets();
    if (!measured)
    {
        std::fprintf(stderr, "a run failed\n");
        return false;
    }
    if (back != bytes)
    {
        std::fprintf(stderr, "read back differs\n");
        return false;
    }

    const double size = static_cast<double>(mib);
    if (g_oursOnly)
    {
        for (const auto& side : {std::make_pair("WriteFromMemory (flushed, renamed)", &write),
                                 std::make_pair("ReadToMemory (new vector)", &readFresh),
                                 std::make_pair("ReadToMemory (vector reused)", &readReused),
                                 std::make_pair("WriteStaged alone", &stage),
                                 std::make_pair("WriteStaged + VerifyStaged", &verify)})
            std::printf("%-34s %8.1f MiB/s\n", side.first, size / side.second->best);
        return true;
    }
    Report("WriteFromMemory (flushed, renamed)", size, write, "cp (not flushed)", cp);
    Report("WriteFromMemory (flushed, renamed)", size, write, "cp + sync of the file", cpSync, 0.9);
    Report("ReadToMemory (new vector)", size, readFresh, "cat > /dev/null", cat);
    Report("ReadToMemory (new vector)", size, readFresh, "cp of the file to tmpfs", copy, 1.0);
    Report("ReadToMemory (vector reused)", size, readReused, "cat > /dev/null", cat, 0.8);
    Report("WriteStaged + VerifyStaged", size, verify, "WriteStaged alone", stage);
    return true;
}
}

int main(int argc, char** argv)
{
    const std::size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 256;
    if (argc > 3)
        g_rounds = std::max(1, std::atoi(argv[3]));
    g_oursOnly = argc > 4 && std::string(argv[4]) == "ours";
    ByteVector bytes(mib << 20);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>((i * 2654435761u) >> 13);

    const std::string memory = ScratchFolder("/dev/shm");
    if (memory.empty())
    {
        std::perror("mkdtemp in /dev/shm");
        return 1;
    }
    std::printf("machine: %s\n", MachineLoad().c_str());

    // By default: the temporary folder's file system, and memory (where
    // flushing costs nothing) when it is another one.
    std::vector<std::string> bases;
    if (argc > 1 && std::string(argv[1]) != "-")
        bases.push_back(argv[1]);
    else
    {
        const char* tmp = std::getenv("TMPDIR");
        bases.push_back(tmp && *tmp ? tmp : "/tmp");
        struct stat first, shm;
        if (stat(bases[0].c_str(), &first) == 0 && stat("/dev/shm", &shm) == 0 && first.st_dev != shm.st_dev)
            bases.push_back("/dev/shm");
    }
    bool ok = true;
    for (std::size_t i = 0; i < bases.size() && ok; ++i)
    {
        // A folder named on the command line is used as it is.
        const bool scratch = argc <= 1 || std::string(argv[1]) == "-";
        const std::string folder = scratch ? ScratchFolder(bases[i]) : bases[i];
        if (folder.empty())
        {
            std::perror("mkdtemp");
            ok = false;
            break;
        }
        ok = MeasureFolder(folder, memory, mib, bytes);
        if (scratch)
            rmdir(folder.c_str());
    }
    rmdir(memory.c_str());
    std::printf("\nmachine: %s\n", MachineLoad().c_str());
    return ok ? 0 : 1;
}
