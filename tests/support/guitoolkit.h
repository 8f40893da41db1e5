// The toolkit of a GUI test program, as a GoogleTest environment: started
// before the first test the way every program that drives the window starts
// it (StartToolkitForDriver), stopped after the last. While it runs, a
// toolkit assertion fails the test that raised it instead of opening a
// dialog nobody answers.
#ifndef PONTIRO_TESTS_SUPPORT_GUITOOLKIT_H
#define PONTIRO_TESTS_SUPPORT_GUITOOLKIT_H

#include <gtest/gtest.h>

class GuiToolkit : public ::testing::Environment
{
public:
    void SetUp() override;
    // Also lets the toolkit free its globals, so that LeakSanitizer reports
    // only what the wizard itself leaks.
    void TearDown() override;
};

#endif
