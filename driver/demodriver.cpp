// Steps through the wizard by itself, in the current working directory, the
// way a person would: Next on each page, both contents, the given login.
// Prints each page's title and message, saves a picture of each page, and
// exits 0 only when the done page is reached.
//   pontiro-demo-driver EMAIL PASSWORD SCREENSHOT-FOLDER
#include "driver/wizarddriver.h"

#include "app/frame.h"

#include <cstdio>

namespace
{

int g_page = 0;

void Show(PontiroFrameDriver& driver, const wxString& folder)
{
    ++g_page;
    const wxString shot = wxString::Format(wxT("%s/page%d.png"), folder, g_page);
    std::printf("page %d: %s\n", g_page, static_cast<const char*>(driver.Title().utf8_str()));
    if (!driver.Message().empty())
        std::printf("         %s\n", static_cast<const char*>(driver.Message().utf8_str()));
    if (driver.SaveScreenshot(shot))
        std::printf("         (%s)\n", static_cast<const char*>(shot.utf8_str()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fputs("usage: pontiro-demo-driver EMAIL PASSWORD SCREENSHOT-FOLDER\n", stderr);
        return 2;
    }
    if (!StartToolkitForDriver())
    {
        std::fputs("pontiro-demo-driver: no display\n", stderr);
        return 1;
    }
    const wxString email = wxString::FromUTF8(argv[1]);
    const wxString password = wxString::FromUTF8(argv[2]);
    const wxString shots = wxString::FromUTF8(argv[3]);
    int result = 1;
    {
        PontiroFrameDriver driver;
        Show(driver, shots);

        driver.ClickNext();
        driver.WaitForConnection(15);
        Show(driver, shots);
        if (driver.PageState() == PAGE_CONNECTING)
        {
            driver.ClickNext();
            driver.WaitForPage(PAGE_LOGIN, 5);
            driver.SetContent(true, true);
            driver.SetLogin(email, password);
            Show(driver, shots);

            driver.ClickNext();
            // A small run may be over before the progress page is pictured.
            if (driver.PageState() == PAGE_UPDATING)
                Show(driver, shots);
            driver.RunUntil([&] { return driver.PageState() == PAGE_DONE || driver.PageState() == PAGE_RESULT; }, 120);
            Show(driver, shots);
            if (driver.PageState() == PAGE_DONE)
                result = 0;
            std::printf("events: %s\n", driver.Steps().c_str());
            driver.ClickNext(); // Finish
            driver.RunUntil([&] { return !driver.IsOpen(); }, 10);
        }
    }
    StopToolkitForDriver();
    return result;
}
