#include "tests/support/guitoolkit.h"

#include "driver/wizarddriver.h"

#include <wx/debug.h>
#include <wx/string.h>

namespace
{

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str(), line) << "toolkit assertion in " << func << ": " << cond << " " << msg;
}

} // namespace

void GuiToolkit::SetUp()
{
    ASSERT_TRUE(StartToolkitForDriver()) << "cannot start the toolkit (no display?)";
    wxSetAssertHandler(FailOnAssert);
}

void GuiToolkit::TearDown()
{
    wxSetDefaultAssertHandler();
    StopToolkitForDriver();
}
