// End-to-end run against the standard tools: the wizard downloads a 64 MiB
// speed-camera file from the stand-in web service and writes it into a
// folder of a memory card (a tmpfs mounted for the purpose), timed from Next
// on the login page to the done page; beside it, in the same invocation and
// round by round, curl fetches the same URL and cp copies the file into the
// same folder: as before (curl into the scratch folder, cp), and on fair
// terms (curl into memory, that is tmpfs, then cp and sync of the copy).
// Prints the times, their ratios, where the program's run went, how soon
// the window shows and the program's peak memory; then what verification
// and commit cost (stagingcost.h).
//   sync_bench [MiB] [rounds]
#include "app/frame.h"
#include "bench/machineload.h"
#include "bench/sync/stagingcost.h"
#include "bench/sync/toolrun.h"
#include "driver/wizarddriver.h"
#include "sync/navfolder.h"
#include "sync/serverprotocol.h"
#include "tests/support/files.h"
#include "tests/support/licensefile.h"
#include "tests/support/pontiroini.h"
#include "tests/support/scratchfolder.h"
#include "webservice/standinservice.h"

#include <wx/event.h>
#include <wx/eventfilter.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <time.h>
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

// A point of the steady clock in seconds of CLOCK_MONOTONIC.
double Monotonic(BenchClock::time_point at)
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const double nowSeconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    return nowSeconds - Since(at);
}

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

// Seconds from the process's start (as the system counts it, in clock
// ticks) to now: the loading of the program and its libraries.
double SinceProcessStart()
{
    std::ifstream stat("/proc/self/stat");
    std::string text;
    std::getline(stat, text);
    // The name in parentheses may hold blanks; the fields after it do not.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::vector<std::string> fields;
    std::size_t at = close + 2;
    while (at < text.size())
    {
        const std::size_t end = text.find(' ', at);
        fields.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    // starttime is field 22 of the line, the 20th after the name.
    timespec now{};
    if (fields.size() < 20 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return -1;
    const double started = std::strtod(fields[19].c_str(), nullptr) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 - started;
}

// When a window was first painted after Arm: the window is on the screen.
class FirstPaint : public wxEventFilter
{
public:
    FirstPaint() { wxEvtHandler::AddFilter(this); }
    ~FirstPaint() override { wxEvtHandler::RemoveFilter(this); }
    FirstPaint(const FirstPaint&) = delete;
    FirstPaint& operator=(const FirstPaint&) = delete;

    void Arm()
    {
        m_armed = BenchClock::now();
        m_seconds = -1;
    }
    // Seconds from Arm to the first paint; negative before it.
    double Seconds() const { return m_seconds; }

    int FilterEvent(wxEvent& event) override
    {
        if (m_seconds < 0 && event.GetEventType() == wxEVT_PAINT)
            m_seconds = Since(m_armed);
        return Event_Skip;
    }

private:
    BenchClock::time_point m_armed;
    double m_seconds = -1;
};

// One run of the wizard from Next on the login page to the done page.
struct ProgramRun
{
    double total = 0;
    // Until the download thread's last event was seen.
    double download = 0;
};

// The standard tools' times of one round, each doing what the program does.
struct ToolRun
{
    // curl into the scratch folder, then cp into the card's folder.
    double curlCp = 0;
    // curl into tmpfs, then cp into the card's folder and sync of the copy.
    double curlCpSync = 0;
};

bool RunTools(const std::string& url, const std::string& scratchFile, const std::string& memoryFile,
              const std::string& copyFile, ToolRun& times)
{
    times.curlCp = TimeCurlCp(url, scratchFile, copyFile, false);
    times.curlCpSync = times.curlCp < 0 ? -1 : TimeCurlCp(url, memoryFile, copyFile, true);
    return times.curlCpSync >= 0;
}

void ReportRun(long mib, int rounds, const std::vector<ProgramRun>& program, const std::vector<ToolRun>& tools)
{
    std::vector<double> total, download, curlCp, curlCpSync;
    for (const ProgramRun& run : program)
    {
        total.push_back(run.total);
        download.push_back(run.download);
    }
    for (const ToolRun& run : tools)
    {
        curlCp.push_back(run.curlCp);
        curlCpSync.push_back(run.curlCpSync);
    }
    const double ours = Median(total);
    const double fair = Median(curlCpSync);
    std::printf("sync_bench: %ld MiB speed-camera file, service -> card folder, median of %d rounds\n", mib, rounds);
    std::printf("  Pontiro (Next on the login page to the done page): %.3f s\n", ours);
    std::printf("    of which the download (to its last event):       %.3f s\n", Median(download));
    std::printf("    and the write to the done page:                  %.3f s\n", ours - Median(download));
    std::printf("  curl + cp:                                         %.3f s\n", Median(curlCp));
    std::printf("  curl into tmpfs + cp + sync of the copy:           %.3f s\n", fair);
    std::printf("  ratio Pontiro / (curl + cp):                       %.2f\n", ours / Median(curlCp));
    std::printf("  ratio Pontiro / (curl + cp + sync):                %.2f (aim <= 1.00: %s)\n", ours / fair,
                ours <= fair ? "met" : "missed");
}

void ReportStart(double loading, double toolkit, const std::vector<double>& windows)
{
    if (windows.empty() || windows[0] < 0)
    {
        std::printf("  start: no paint of the window was seen\n");
        return;
    }
    const double first = std::max(loading, 0.0) + toolkit + windows[0];
    std::printf("  start: window on the screen %.3f s after the process started (aim < 0.30 s: %s)\n", first,
                first < 0.3 ? "met" : "missed");
    std::printf("    loading to main %.3f s, toolkit %.3f s, window %.3f s", loading, toolkit, windows[0]);
    if (windows.size() > 1)
        std::printf("; later windows %.3f s (median)",
                    Median(std::vector<double>(windows.begin() + 1, windows.end())));
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    const double loading = SinceProcessStart();
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
    const auto toolkitStart = BenchClock::now();
    if (::chdir(work.c_str()) != 0 || !StartToolkitForDriver())
    {
        std::fputs("sync_bench: no display (run it under xvfb-run)\n", stderr);
        return 1;
    }
    const double toolkit = Since(toolkitStart);
    std::printf("machine: %s\n", MachineLoad().c_str());
    const std::string url = ComposeRequestUrl(wxString::FromUTF8(host.c_str()), wxT("/kelvonet/pnd"),
                                              SpeedCamPath(2)).utf8_str().data();
    const std::string cardFile = card + "/Kelvo/Speedcams/speedcams.bin";
    const std::string copyFile = card + "/Kelvo/Speedcams/copied.bin";

    std::vector<ProgramRun> programRuns;
    std::vector<ToolRun> toolRuns;
    std::vector<double> windows;
    FirstPaint firstPaint;
    long idleKiB = 0, peakKiB = 0;
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round)
    {
        g_firstStart = true;
        {
            firstPaint.Arm();
            PontiroFrameDriver driver;
            windows.push_back(firstPaint.Seconds());
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
            ProgramRun run;
            const auto start = BenchClock::now();
            driver.ClickNext();
            driver.RunUntil(
                [&] {
                    if (run.download == 0 && driver.Steps().find("de5") != std::string::npos)
                        run.download = Since(start);
                    return driver.PageState() == PAGE_DONE || driver.PageState() == PAGE_RESULT;
                },
                300);
            run.total = Since(start);
            programRuns.push_back(run);
            // With the run's span on the monotonic clock, for a profiler's
            // time filter (perf record -k CLOCK_MONOTONIC, report --time).
            if (std::getenv("SYNC_BENCH_VERBOSE"))
                std::printf("  round %d: download ended after %.3f s, done after %.3f s (monotonic %.6f,%.6f)\n",
                            round + 1, run.download, run.total, Monotonic(start), Monotonic(start) + run.total);
            peakKiB = std::max(peakKiB, StatusKiB("VmHWM"));
            if (driver.PageState() != PAGE_DONE)
            {
                std::fprintf(stderr, "sync_bench: the run failed: %s\n",
                             static_cast<const char*>(driver.Message().utf8_str()));
                ok = false;
            }
        }

        if (ok && Shell("cmp -s '" + cardFile + "' '" + content + "/radarsv3'") != 0)
        {
            std::fputs("sync_bench: the card's file differs from what the service sent\n", stderr);
            ok = false;
        }
        ToolRun tools;
        if (ok && !RunTools(url, dir + "/curl.bin", card + "/curl.bin", copyFile, tools))
        {
            std::fputs("sync_bench: curl + cp failed\n", stderr);
            ok = false;
        }
        toolRuns.push_back(tools);
        std::remove(copyFile.c_str());
        std::remove(cardFile.c_str());
    }

    if (ok)
    {
        ReportRun(mib, rounds, programRuns, toolRuns);
        ReportStart(loading, toolkit, windows);
        std::printf("  peak memory: %.1f MiB (idle %.1f MiB, content %ld MiB; (peak - idle) / content = %.2f)\n",
                    peakKiB / 1024.0, idleKiB / 1024.0, mib,
                    (peakKiB - idleKiB) / 1024.0 / static_cast<double>(mib));
        ok = ReportStagingCosts(url, content + "/radarsv3", card, dir, mib, rounds);
    }
    service.Stop();
    (void)::chdir("/");
    ::umount2(card.c_str(), MNT_DETACH);
    if (!ok)
        return 1;
    std::printf("machine: %s\n", MachineLoad().c_str());
    StopToolkitForDriver();
    return 0;
}
