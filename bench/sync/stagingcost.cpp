#include "bench/sync/stagingcost.h"

#include "bench/sync/toolrun.h"
#include "device/vdxrdevcard.h"
#include "http/httpbuilder.h"
#include "sync/downloadingthread.h"
#include "sync/navfolder.h"
#include "sync/uploadingthread.h"
#include "tests/support/files.h"
#include "tests/support/licensefile.h"

#include <wx/string.h>

#include <cstdio>
#include <utility>
#include <vector>

namespace
{

// The benchmark's switch: the same card, but the upload finds that it
// cannot stage and writes the file straight onto its target.
class StraightCard : public VDXRDEVCARD
{
public:
    using VDXRDEVCARD::VDXRDEVCARD;
    bool CanStage() override { return false; }
};

struct Scene
{
    const char* name;
    std::string cardRoot;   // holds Kelvo/license.db
    std::string memoryFile; // where curl writes, in tmpfs
};

// The seconds of each round, per side.
struct Side
{
    std::vector<double> total;
    std::vector<double> download;
    std::vector<double> upload;
};

bool RunThreads(VDXRDEVRAPI& device, const wxString& url, Side& side)
{
    wxHTTPBuilder builder;
    builder.InitMimeTypes();
    ByteVector bytes;
    DOWNLOADINGTHREAD download(&builder);
    download.SetJob2(url, &bytes);
    const auto start = BenchClock::now();
    if (download.Run() != wxTHREAD_NO_ERROR)
        return false;
    download.Wait();
    if (!download.IsDone())
        return false;
    side.download.push_back(Since(start));

    UPLOADINGTHREAD upload(&device);
    upload.SetJob2(wxT("Speedcams"), wxT("speedcams.bin"), std::move(bytes));
    const auto uploadStart = BenchClock::now();
    if (upload.Run() != wxTHREAD_NO_ERROR)
        return false;
    upload.Wait();
    side.upload.push_back(Since(uploadStart));
    side.total.push_back(Since(start));
    return upload.IsDone();
}

double Ratio(double ours, double theirs)
{
    return theirs > 0 ? ours / theirs : 0;
}

bool ReportScene(const Scene& scene, const std::string& url, const std::string& expectedFile, long mib,
                 int rounds)
{
    const wxString root = wxString::FromUTF8(scene.cardRoot.c_str());
    VDXRDEVCARD stagedCard(root);
    StraightCard straightCard(root);
    if (!stagedCard.Connect() || !straightCard.Connect())
    {
        std::fprintf(stderr, "sync_bench: no card at %s\n", scene.cardRoot.c_str());
        return false;
    }
    const wxString oldNavFolder = g_navFolder;
    g_navFolder = wxT("/Kelvo/");
    const wxString requestUrl = wxString::FromUTF8(url.c_str());
    const std::string target = scene.cardRoot + "/Kelvo/Speedcams/speedcams.bin";
    const std::string copy = scene.cardRoot + "/Kelvo/Speedcams/copied.bin";
    // Every run replaces a previous file, as an update does.
    const std::string expected = ReadFile(expectedFile);
    WriteFile(target, std::string(expected.size(), 'p'));

    Side staged, straight;
    std::vector<double> tools;
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round)
    {
        // Each side goes first in every other round: neither always finds
        // the machine as the other left it.
        for (int turn = 0; turn < 2 && ok; ++turn)
        {
            const bool stagedTurn = (turn + round) % 2 == 0;
            VDXRDEVCARD& card = stagedTurn ? stagedCard : straightCard;
            ok = RunThreads(card, requestUrl, stagedTurn ? staged : straight) && ReadFile(target) == expected;
        }
        if (ok)
        {
            tools.push_back(TimeCurlCp(url, scene.memoryFile, copy, true));
            ok = tools.back() >= 0;
        }
    }
    std::remove(target.c_str());
    g_navFolder = oldNavFolder;
    if (!ok)
    {
        std::fprintf(stderr, "sync_bench: a thread run or curl + cp + sync on the %s failed or wrote other bytes\n",
                     scene.name);
        return false;
    }

    const double stagedRun = Median(staged.total);
    const double straightRun = Median(straight.total);
    const double stagedUpload = Median(staged.upload);
    const double straightUpload = Median(straight.upload);
    const double toolRun = Median(tools);
    std::printf("sync_bench: verification and commit, %ld MiB, %s, download + upload threads (no window), "
                "median of %d rounds\n",
                mib, scene.name, rounds);
    std::printf("  staged, verified, committed:                  %.3f s (download %.3f s, upload %.3f s)\n",
                stagedRun, Median(staged.download), stagedUpload);
    std::printf("  straight (flushed, no read-back, no commit):  %.3f s (download %.3f s, upload %.3f s)\n",
                straightRun, Median(straight.download), straightUpload);
    std::printf("  curl into tmpfs + cp + sync of the copy:      %.3f s\n", toolRun);
    std::printf("  ratio staged / straight:                      %.2f (%+.3f s); upload alone %.2f (%+.3f s)\n",
                Ratio(stagedRun, straightRun), stagedRun - straightRun, Ratio(stagedUpload, straightUpload),
                stagedUpload - straightUpload);
    std::printf("  ratio staged / (curl + cp + sync):            %.2f\n", Ratio(stagedRun, toolRun));
    std::printf("  ratio straight / (curl + cp + sync):          %.2f\n", Ratio(straightRun, toolRun));
    return true;
}

} // namespace

bool ReportStagingCosts(const std::string& url, const std::string& expected, const std::string& tmpfsCard,
                        const std::string& scratch, long mib, int rounds)
{
    const std::string diskCard = scratch + "/diskcard";
    if (!WriteFile(diskCard + "/Kelvo/license.db", LicenseFile("Kelvo5020")))
        return false;
    const std::string memoryFile = tmpfsCard + "/curl.bin";
    return ReportScene({"card on tmpfs", tmpfsCard, memoryFile}, url, expected, mib, rounds) &&
           ReportScene({"card folder on the disk", diskCard, memoryFile}, url, expected, mib, rounds);
}
