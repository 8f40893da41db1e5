#include "tests/support/wizardwalk.h"

#include "app/frame.h"
#include "driver/wizarddriver.h"

#include <gtest/gtest.h>

void OpenAndConnect(std::unique_ptr<PontiroFrameDriver>& driver, const wxString& cardFolder, double seconds)
{
    driver.reset(new PontiroFrameDriver);
    ASSERT_EQ(driver->PageState(), PAGE_WELCOME);
    driver->SetMemoryCardOption(!cardFolder.empty());
    driver->ClickNext();
    if (!cardFolder.empty())
    {
        ASSERT_EQ(driver->PageState(), PAGE_MEMORY_CARD);
        driver->SetFolder(cardFolder);
        driver->ClickNext();
    }
    ASSERT_TRUE(driver->WaitForConnection(seconds)) << driver->Title();
}

void RunWith(PontiroFrameDriver& driver, bool addressBook, bool speedCams, const wxString& email,
             const wxString& password, double seconds)
{
    ASSERT_EQ(driver.PageState(), PAGE_CONNECTING) << driver.Title() << " / " << driver.Message();
    driver.ClickNext();
    ASSERT_EQ(driver.PageState(), PAGE_LOGIN);
    driver.SetContent(addressBook, speedCams);
    driver.SetLogin(email, password);
    driver.ClickNext();
    ASSERT_TRUE(driver.RunUntil(
        [&driver] { return driver.PageState() == PAGE_DONE || driver.PageState() == PAGE_RESULT; }, seconds))
        << driver.Title();
}
