// One end-to-end world: the stand-in web service, a working folder with its
// "Pontiro.ini", a simulated docked device, and the real wizard window
// driven from outside.
#ifndef PONTIRO_TESTS_E2E_E2EWORLD_H
#define PONTIRO_TESTS_E2E_E2EWORLD_H

#include "driver/wizarddriver.h"
#include "tests/support/files.h"
#include "tests/support/licensefile.h"
#include "tests/support/scratchfolder.h"
#include "webservice/standinservice.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

extern const char* const kEmail;
extern const char* const kPassword;

class E2EWorld : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Content the service sends, by item ("addressbook", "radars", ...).
    void SetContent(const std::string& item, const std::string& bytes);
    std::string Content(const std::string& item) const;
    // Starts the service (after faults are set in m_options).
    void StartService();
    // Writes "Pontiro.ini" naming host (default: the service).
    void WriteConfiguration(const std::string& host = std::string(), bool memoryCard = false);
    // The simulated docked device: its profile and its navigation folder
    // ("" for none) holding "license.db".
    void PrepareDockedDevice(const std::string& profile, const std::string& navFolder = "SDMMC Card/Kelvo");

    // Opens the window and walks from the welcome page to a connection
    // result (docked unless a card folder is given).
    void OpenAndConnect(const std::string& cardFolder = std::string());
    // From a successful connection to the end of a run.
    void RunWith(bool addressBook, bool speedCams, const std::string& email, const std::string& password);

    ScratchFolder m_scratch;
    std::string m_dir; // m_scratch's path
    std::string m_work;
    std::string m_device; // the simulated device's "/"
    StandInService::Options m_options;
    std::unique_ptr<StandInService> m_service;
    std::unique_ptr<PontiroFrameDriver> m_driver;

private:
    std::string m_oldCwd;
};

#endif
