// Runs the wizard's GUI tests inside a toolkit application on a display of
// their own, so that screenshots see only these windows whatever else runs
// on the shared display, and so that no dialog can wait for a click.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>

#include "tests/app/native.h"

namespace
{
class TestApp : public wxApp
{
public:
    bool OnInit() override { return true; }
};

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str(), line)
        << "toolkit assertion in " << func << ": " << cond << " " << msg;
}
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);

    if (!StartOwnDisplay())
        std::fprintf(stderr, "Could not start a display of our own; using DISPLAY=%s\n",
                     std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "(none)");

    wxApp::SetInstance(new TestApp);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv) || !wxTheApp->CallOnInit())
    {
        std::fprintf(stderr, "Cannot initialise the toolkit (no display?)\n");
        return 1;
    }
    // Messages go to the test log, never into a dialog.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    wxSetAssertHandler(FailOnAssert);
    wxTheApp->SetExitOnFrameDelete(false);
    wxInitAllImageHandlers();

    int result = 0;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator active(&loop);
        result = RUN_ALL_TESTS();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    StopOwnDisplay();
    return result;
}
