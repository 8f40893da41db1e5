// End-to-end run against curl + cp: the wizard downloads a 64 MiB
// speed-camera file from the stand-in web service and writes it into a
// folder of a memory card (a tmpfs mounted for the purpose), timed from Next
// on the login page to the done page; beside it, in the same invocation,
// curl fetches the same URL and cp copies the file into the same folder.
// Prints both times, their ratio and the program's peak memory.
//   sync_bench [MiB] [rounds]
#include "app/frame.h"
#include "driver/wizarddriver.h"
#include "sync/navfolder.h"
#include "sync/serverprotocol.h"
#include "tests/support/files.h"
#include "tests/support/licensefile.h"
#include "tests/support/pontiroini.h"
#include "tests/support/scratchfolder.h"
#include "webservice/standinservice.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

long StatusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    return -1;
}

// Lets VmHWM start again from the current size.
void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int Shell(const std::string& command)
{
    return std::system(command.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    const long mib = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 64;
    const int rounds = argc > 2 ? static_cast<int>(std::strtol(argv[2], nullptr, 10)) : 3;
    if (mib <= 0 || rounds <= 0)
        return 2;
    const std::size_t size = static_cast<std::size_t>(mib) << 20;

    const ScratchFolder scratch;
    const std::string dir = scratch.Utf8Path();
    if (dir.empty())
    {
        std::fputs("sync_bench: cannot make a scratch folder\n", stderr);
        return 1;
    }
    const std::string content = dir + "/content";
    const std::string work = dir + "/work";
    const std::string card = dir + "/card";
    ::mkdir(content.c_str(), 0700);
    ::mkdir(work.c_str(), 0700);
    ::mkdir(card.c_str(), 0700);
    const std::string sizeOption = "size=" + std::to_string(mib * 4 + 64) + "m";
    if (::mount("tmpfs", card.c_str(), "tmpfs", 0, sizeOption.c_str()) != 0)
    {
        std::perror("sync_bench: cannot mount the card (tmpfs; needs root)");
        return 1;
    }

    {
        std::string bytes(size, '\0');
        std::mt19937_64 random(42);
        for (std::size_t i = 0; i + 8 <= size; i += 8)
        {
            const auto value = random();
            std::copy(reinterpret_cast<const char*>(&value), reinterpret_cast<const char*>(&value) + 8, &bytes[i]);
        }
        WriteFile(content + "/radarsv3", bytes);
    }
    WriteFile(content + "/addressbook", "x");
    WriteFile(content + "/radars", "x");
    WriteFile(content + "/radarsv2", "x");

    StandInService::Options options;
    options.contentDir = content;
    options.email = "bench@kelvonet.example";
    options.password = "bench";
    StandInService service(options);
    if (!service.Start())
        return 1;
    const std::string host = "127.0.0.1:" + std::to_string(service.Port());

    // A kind-2 card fetches one speed-camera file.
    ::mkdir((card + "/Kelvo").c_str(), 0700);
    WriteFile(card + "/Kelvo/license.db", LicenseFile("Kelvo5020"));
    PontiroIni::Installation(host)
        .MemoryCard(true)
        .Set("speedcam", "filenamestatic", "speedcams.bin")
        .Write(work + "/Pontiro.ini");
    if (::chdir(work.c_str()) != 0 || !StartToolkitForDriver())
    {
        std::fputs("sync_bench: no display (run it under xvfb-run)\n", stderr);
        return 1;
    }
    const wxString url = ComposeRequestUrl(wxString::FromUTF8(host.c_str()), wxT("/kelvonet/pnd"),
                                           SpeedCamPath(2));
    const std::string curlTarget = dir + "/curl.bin";
    const std::string cardFile = card + "/Kelvo/Speedcams/speedcams.bin";
    const std::string copyFile = card + "/Kelvo/Speedcams/copied.bin";

    std::vector<double> programTimes, toolTimes;
    long idleKiB = 0, peakKiB = 0;
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round)
    {
        g_firstStart = true;
        {
            PontiroFrameDriver driver;
            driver.SetMemoryCardOption(true);
            driver.ClickNext();
            driver.SetFolder(wxString::FromUTF8((card + "/Kelvo").c_str()));
            driver.ClickNext();
            driver.WaitForConnection(10);
            driver.ClickNext();
            driver.SetContent(false, true);
            driver.SetLogin(wxT("bench@kelvonet.example"), wxT("bench"));
            driver.Pump(0.2);

            idleKiB = std::max(idleKiB, StatusKiB("VmRSS"));
            ResetPeak();
            const auto start = Clock::now();
            driver.ClickNext();
            double downloaded = 0;
            driver.RunUntil(
                [&] {
                    if (downloaded == 0 && driver.Steps().find("de5") != std::string::npos)
                        downloaded = std::chrono::duration<double>(Clock::now() - start).count();
                    return driver.PageState() == PAGE_DONE || driver.PageState() == PAGE_RESULT;
                },
                300);
            if (std::getenv("SYNC_BENCH_VERBOSE"))
                std::printf("  round %d: download ended after %.3f s\n", round + 1, downloaded);
            programTimes.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            peakKiB = std::max(peakKiB, StatusKiB("VmHWM"));
            if (driver.PageState() != PAGE_DONE)
            {
                std::fprintf(stderr, "sync_bench: the run failed: %s\n",
                             static_cast<const char*>(driver.Message().utf8_str()));
                ok = false;
            }
        }

        const auto start = Clock::now();
        const int rc = Shell("curl -s -f -o '" + curlTarget + "' '" + std::string(url.utf8_str()) + "' && cp '" +
                             curlTarget + "' '" + copyFile + "'");
        toolTimes.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        if (rc != 0)
        {
            std::fputs("sync_bench: curl + cp failed\n", stderr);
            ok = false;
        }
        if (ok && Shell("cmp -s '" + cardFile + "' '" + content + "/radarsv3' && cmp -s '" + copyFile + "' '" +
                        content + "/radarsv3'") != 0)
        {
            std::fputs("sync_bench: the files differ from what the service sent\n", stderr);
            ok = false;
        }
        std::remove(copyFile.c_str());
        std::remove(cardFile.c_str());
        std::remove(curlTarget.c_str());
    }

    service.Stop();
    (void)::chdir("/");
    ::umount2(card.c_str(), MNT_DETACH);
    if (!ok)
        return 1;

    const double program = Median(programTimes);
    const double tools = Median(toolTimes);
    std::printf("sync_bench: %ld MiB speed-camera file, service -> card folder, median of %d rounds\n", mib, rounds);
    std::printf("  Pontiro (Next on the login page to the done page): %.3f s\n", program);
    std::printf("  curl + cp:                                         %.3f s\n", tools);
    std::printf("  ratio Pontiro / (curl + cp):                       %.2f\n", program / tools);
    std::printf("  peak memory: %.1f MiB (idle %.1f MiB, content %ld MiB; (peak - idle) / content = %.2f)\n",
                peakKiB / 1024.0, idleKiB / 1024.0, mib, (peakKiB - idleKiB) / 1024.0 / static_cast<double>(mib));
    StopToolkitForDriver();
    return 0;
}
