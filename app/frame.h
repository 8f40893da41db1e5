// The wizard's one window: it owns the configuration, the locale, the
// pictures, the timer, the device, the request builder and the worker
// threads of a run, and builds each page into its page area.
#ifndef PONTIRO_APP_FRAME_H
#define PONTIRO_APP_FRAME_H

#include "app/backgroundprovider.h"
#include "device/bytevector.h"

#include <wx/frame.h>
#include <wx/string.h>
#include <wx/timer.h>

#include <map>
#include <memory>
#include <vector>

class wxBitmap;
class wxBoxSizer;
class wxButton;
class wxCheckBox;
class wxChoice;
class wxCommandEvent;
class wxFileConfig;
class wxFont;
class wxGauge;
class wxLocale;
class wxPaintEvent;
class wxTextCtrl;
class wxThreadEvent;
class wxTimerEvent;

class CTransparentStaticText;
class VDXRDEV;
class wxHTTPBuilder;
class CONNECTINGTHREAD;
class DOWNLOADINGTHREAD;
class UPLOADINGTHREAD;

// The page shown; decides what Next and the timer do.
enum PageState
{
    PAGE_WELCOME = 0,
    PAGE_CONNECTING = 1,
    PAGE_LOGIN = 2,
    PAGE_UPDATING = 3,
    PAGE_DONE = 4,
    PAGE_RESULT = 5,
    PAGE_MEMORY_CARD = 7
};

// What a result page reports.
enum ResultCode
{
    RESULT_INVALID_DEVICE = 1,
    RESULT_DEVICE_NOT_FOUND = 2,
    RESULT_SERVER_PROBLEM = 3,
    RESULT_UPDATE_FAILED = 4,
    RESULT_LOGIN_REFUSED = 5,
    RESULT_NO_INTERNET = 6
};

// Keys of the per-content maps; they tie configuration, requests, buffers
// and device files together.
enum ContentKey
{
    CONTENT_ADDRESSBOOK = 0,
    CONTENT_SPEEDCAM = 1,
    CONTENT_ROADBOOK = 2,
    CONTENT_SPEEDCAM_V2 = 3,
    CONTENT_SPEEDCAM_STATIC = 4
};

// One row of the language table; the row index is what the language choice
// shows and what m_languageIndex holds.
struct PontiroLanguage
{
    int language;            // wxLanguage
    const char* displayName; // UTF-8, never translated
    const char* code;        // stored in the configuration
    char decimalMark;        // in the sizes the pages show, as its readers write them
};
constexpr int kLanguageCount = 4;
extern const PontiroLanguage g_languages[kLanguageCount];

// The frame's timer: its period while connecting or updating, and the ticks
// a connection may take before the device counts as not found.
constexpr int kTimerPeriodMs = 100;
constexpr int kConnectTickLimit = 100;

// Deletes the synchronisation's objects where their classes are complete
// (the run's source file), so this header only needs their names.
struct FrameDeleter
{
    void operator()(VDXRDEV* device) const;
    void operator()(wxHTTPBuilder* request) const;
    void operator()(CONNECTINGTHREAD* thread) const;
    void operator()(DOWNLOADINGTHREAD* thread) const;
    void operator()(UPLOADINGTHREAD* thread) const;
};

// True until the first connection has read the memory-card option.
extern bool g_firstStart;

class wxPontiroFrame : public wxFrame, public CBackgroundProvider
{
public:
    wxPontiroFrame(wxWindow* parent, const wxString& title);
    ~wxPontiroFrame() override;

    // CBackgroundProvider: the picture the page texts stand on.
    const wxBitmap* GetBackgroundPicture() const override;

    // Configuration (frame_config.cpp).
    void LoadConfiguration();
    void SaveConfiguration();

    // Pages (frame_pages.cpp).
    void ShowWelcomePage();
    void AddMemoryCardOption();
    void ShowMemoryCardPage();
    void ShowConnectingPage();
    void ShowUpdatingPage();
    void ShowLoginPage();
    void AddMessageText();
    void AddDoneText();

    // Result and done pages (frame_results.cpp).
    void ShowResultPage(const wxString& title, const wxString& message, int code, bool retry);
    void ShowDonePage();

    // Flow between pages (frame_flow.cpp).
    void StartConnection();
    void ConnectMemoryCard();
    void OpenLoginPage();
    void RetryConnection();

    // The run (frame_run.cpp).
    void StartRun();

    // Clears the page area, destroying its windows, and forgets the gauge
    // that went with them.
    void ClearPage();
    // Sets the title (already translated), wraps it and lays out its row.
    void SetTitleText(const wxString& title);

private:
    // The tests, the demo and the benchmark read the window's state through
    // it, and act on the window only as a user would.
    friend class PontiroFrameDriver;

    // Construction and painting, Cancel, language (frame.cpp).
    void OnPaint(wxPaintEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnLanguage(wxCommandEvent& event);

    // Flow (frame_flow.cpp).
    void OnNext(wxCommandEvent& event);
    void OnContentCheck(wxCommandEvent& event);
    void OnBrowse(wxCommandEvent& event);

    // Connection and run (frame_run.cpp).
    void OnTimer(wxTimerEvent& event);
    void OnConnectDone(wxThreadEvent& event);
    void OnUploadStepBegin(wxThreadEvent& event);
    void OnUploadStepEnd(wxThreadEvent& event);
    void OnDownloadStepBegin(wxThreadEvent& event);
    void OnDownloadStepEnd(wxThreadEvent& event);

    // The run's two halves (frame_run.cpp).
    bool StartDownload();
    void StartUpload();
    // The shared start of a download or upload step (frame_run.cpp).
    void BeginStep(int step, std::map<int, wxString>& texts);
    // The two result pages that arise in more than one place
    // (frame_results.cpp).
    void ShowNoInternetPage();
    void ShowUpdateFailedPage();

    // Ends the worker threads and releases the device: the first steps of
    // destruction (frame_run.cpp).
    void StopWorkers();
    // Sets the stop flag of the running download's request, if any
    // (frame_run.cpp).
    void StopRequest();
    // Starts a connecting thread on m_device and the timer; ends and
    // releases the current one (frame_flow.cpp).
    void BeginConnecting();
    void EndConnecting();

    // A page text in the text font, labelled with an already translated
    // text (frame_pages.cpp).
    CTransparentStaticText* CreateText(const wxString& label);
    // The connecting and updating pages differ only in the gauge's style.
    void ShowProgressPage(long gaugeStyle);
    // Lays the window out once a page's controls are in place.
    void LayoutPage();

    int m_pageState = PAGE_WELCOME;
    wxBoxSizer* m_mainSizer = nullptr;
    wxBoxSizer* m_contentSizer = nullptr;
    wxBoxSizer* m_bottomSizer = nullptr;
    wxBoxSizer* m_titleSizer = nullptr;
    wxBoxSizer* m_buttonSizer = nullptr;
    std::unique_ptr<wxBitmap> m_background;
    wxButton* m_nextButton = nullptr;
    wxButton* m_cancelButton = nullptr;
    CTransparentStaticText* m_titleText = nullptr;
    CTransparentStaticText* m_messageText = nullptr;
    wxChoice* m_languageChoice = nullptr;
    wxCheckBox* m_memoryCardCheck = nullptr;
    wxTextCtrl* m_folderText = nullptr;
    wxButton* m_browseButton = nullptr;
    wxGauge* m_gauge = nullptr;
    std::unique_ptr<wxFont> m_titleFont;
    std::unique_ptr<wxFont> m_textFont;
    wxCheckBox* m_speedCamCheck = nullptr;
    wxCheckBox* m_addressBookCheck = nullptr;
    wxTextCtrl* m_emailText = nullptr;
    wxTextCtrl* m_passwordText = nullptr;
    std::unique_ptr<wxLocale> m_locale;
    std::unique_ptr<wxFileConfig> m_config;
    wxTimer m_timer;
    std::unique_ptr<CONNECTINGTHREAD, FrameDeleter> m_connectingThread;
    std::unique_ptr<DOWNLOADINGTHREAD, FrameDeleter> m_downloadThread;
    std::unique_ptr<UPLOADINGTHREAD, FrameDeleter> m_uploadThread;
    std::unique_ptr<VDXRDEV, FrameDeleter> m_device;
    int m_connectTicks = 0;
    int m_resultCode = 0;
    int m_deviceKind = 0;
    int m_languageIndex = 0;
    std::unique_ptr<wxHTTPBuilder, FrameDeleter> m_request;
    std::map<int, wxString> m_hostNames;
    std::map<int, wxString> m_urls;
    std::map<int, ByteVector> m_contentBuffers;
    std::map<int, wxString> m_downloadTexts;
    std::map<int, wxString> m_uploadTexts;
    std::map<int, wxString> m_fileNames;
    std::map<int, wxString> m_dirs;
    wxString m_email;
    wxString m_password;
    bool m_addressBookSelected = false;
    bool m_speedCamSelected = false;
    bool m_secondSpeedCamFile = false;
    wxString m_proxyHost;
    int m_proxyPort = 8080; // the usual proxy port until a file or a run says otherwise
    bool m_useProxy = false;
    bool m_useMemoryCard = false;

    wxDECLARE_EVENT_TABLE();
};

#endif
