// The walk through the wizard that the end-to-end tests share (on Linux and
// under Wine): each step checks that the window reached its page.
#ifndef PONTIRO_TESTS_SUPPORT_WIZARDWALK_H
#define PONTIRO_TESTS_SUPPORT_WIZARDWALK_H

#include <wx/string.h>

#include <memory>

class PontiroFrameDriver;

// Opens the window in `driver` and walks from the welcome page to a
// connection result: over the Remote API, or through the memory-card page
// when a folder is given.
void OpenAndConnect(std::unique_ptr<PontiroFrameDriver>& driver, const wxString& cardFolder, double seconds);

// From a successful connection through the login page to the end of the run
// (the done page or a result page).
void RunWith(PontiroFrameDriver& driver, bool addressBook, bool speedCams, const wxString& email,
             const wxString& password, double seconds);

#endif
