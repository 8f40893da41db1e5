// Runs the wizard's GUI tests on a display of their own, so that
// screenshots see only these windows whatever else runs on the shared
// display; the toolkit is the one every GUI test program starts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/app/native.h"
#include "tests/support/guitoolkit.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);

    if (!StartOwnDisplay())
        std::fprintf(stderr, "Could not start a display of our own; using DISPLAY=%s\n",
                     std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "(none)");

    testing::AddGlobalTestEnvironment(new GuiToolkit);
    const int result = RUN_ALL_TESTS();
    StopOwnDisplay();
    return result;
}
