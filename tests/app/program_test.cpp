// The program itself, as a user starts it: its window appears with its
// title, size and icon, and the close box ends it with the configuration
// written.
#include "tests/app/guitest.h"
#include "tests/support/pontiroini.h"

#include "tests/app/native.h"

#include <cstdlib>

TEST_F(WizardTest, ProgramShowsItsWindowAndClosesFromTheCloseBox)
{
    const char* path = std::getenv("PONTIRO_PROGRAM");
    ASSERT_NE(path, nullptr) << "PONTIRO_PROGRAM is not set";
    WriteIni(PontiroIni().Language("fr"));

    OtherProgram program;
    ASSERT_TRUE(program.Start(path)) << path;
    ASSERT_TRUE(program.WaitForWindow("Pontiro 2.5", 20000)) << "the program showed no window";
    EXPECT_EQ(program.WindowClientSize(), wxSize(480, 272));
#ifndef __WINDOWS__
    // The program sets its icon before it shows the window. (Wine answers
    // for a window's icon only within its own process: see below.)
    EXPECT_EQ(program.WindowIconSize(), wxSize(16, 16));
#endif
    EXPECT_FALSE(program.WindowResizable());

    program.ClickCloseBox();
    int exitCode = -1;
    ASSERT_TRUE(program.WaitForExit(20000, &exitCode))
        << "the program did not end after its close box";
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(IniValue("Pontiro/language"), "fr");
    EXPECT_EQ(IniValue("proxy/port"), "8080");
}

// The window as the program makes it, which is how every test makes it;
// here the window system is asked from within the same process (Wine
// answers that question only there).
TEST_F(WizardTest, ProgramWindowCarriesItsIcon)
{
    WriteIni(PontiroIni().Language("en"));
    wxPontiroFrame* frame = CreateFrame();
    frame->Show();
    Pump(100);
    EXPECT_EQ(frame->GetTitle(), "Pontiro 2.5");
    EXPECT_EQ(NativeIconSize(frame), wxSize(16, 16));
}
