// The device as the rest of the program sees it: folder, file and identity
// operations on the navigation device, whichever way it is reached.
#ifndef PONTIRO_DEVICE_VDXRDEV_H
#define PONTIRO_DEVICE_VDXRDEV_H

#include "device/devicedefs.h"
#include "device/lazyid.h"

#include <wx/event.h>
#include <wx/string.h>

#ifdef __WINDOWS__
// The Windows headers make DeleteFile a macro; taking them in first and
// dropping it keeps the device operation's name the same in every file.
#include <wx/msw/wrapwin.h>
#undef DeleteFile
#endif

#include <cstdint>

class wxArrayString;

// Notifications of transfers: one event type, told apart by the event id.
// The progress event carries the percentage (0 to 100) as its integer.
// wxThreadEvent, not a notify event: it is wxBase's, and it is made to be
// queued from a worker thread.
wxDECLARE_EVENT(EVT_DEVICE, wxThreadEvent);
inline const LazyId ID_DEVICE_STARTED{};
inline const LazyId ID_DEVICE_PROGRESS{};
inline const LazyId ID_DEVICE_FINISHED{};
inline const LazyId ID_DEVICE_FAILED{};

// Device paths are absolute and "/"-separated on every back end; MapPath
// turns them into the back end's own form. Operations never throw: they
// report by their result and keep the reason of the last failure in the
// error record. A device is used by one thread at a time.
class VDXRDEV
{
public:
    VDXRDEV();
    virtual ~VDXRDEV();

    VDXRDEV(const VDXRDEV&) = delete;
    VDXRDEV& operator=(const VDXRDEV&) = delete;

    virtual bool Connect() = 0;
    virtual bool Disconnect() = 0;
    virtual bool CopyToDevice(const wxString& localPath, const wxString& path) = 0;
    virtual bool CopyFromDevice(const wxString& path, const wxString& localPath) = 0;
    virtual bool DeleteFile(const wxString& path) = 0;
    virtual bool Exists(const wxString& path) = 0;
    virtual bool DirExists(const wxString& path) = 0;
    virtual bool FileExists(const wxString& path) = 0;
    virtual bool CreateDir(const wxString& path, bool recursive) = 0;
    // Creates path when its first `levels` levels exist already.
    virtual bool CreatePath(const wxString& path, std::int32_t levels);
    virtual bool ListDirs(const wxString& path, wxArrayString& names) = 0;
    virtual bool ListFiles(const wxString& path, wxArrayString& names) = 0;
    virtual wxString MapPath(const wxString& path);
    virtual wxString GetDeviceID() = 0;
    virtual wxString GetCardID(const wxString& mountFolder) = 0;
    virtual wxString GetMapVender() = 0;
    virtual wxString GetMapExtra() = 0;
    // Path of the navigation software's marker file, or empty.
    virtual wxString FindLicenseFile(bool acceptDeviceFile);

    // The handler is borrowed; null stops the notifications.
    void SetEventHandler(wxEvtHandler* handler) { m_eventHandler = handler; }
    wxEvtHandler* GetEventHandler() const { return m_eventHandler; }

    void SetError(std::int32_t code, const wxString& text, std::int32_t systemError);
    void ClearError();

    bool IsConnected() const { return m_connected; }
    std::int32_t GetErrorCode() const { return m_errorCode; }
    std::int32_t GetSystemError() const { return m_systemError; }
    const wxString& GetErrorText() const { return m_errorText; }
    std::int32_t GetTransport() const { return m_transport; }

protected:
    void NotifyStarted();
    void NotifyProgress(int percent);
    void NotifyFinished();
    void NotifyFailed();
    // The end of a transfer that went through: full progress, then finished.
    bool FinishTransfer();
    // A transfer that stops: the error first, then the failure notice.
    bool FailTransfer(std::int32_t code, const wxString& text, std::int32_t systemError);
    // The end of a copy to the computer: a failed one leaves no partial
    // local file behind.
    bool EndDownload(bool failed, const wxString& localPath);

    bool CheckInstallFolder(const wxString& folder, bool acceptDeviceFile, wxString& found);
    bool SearchInstallFolder(const wxString& folder, bool acceptDeviceFile,
                             int depth, wxString& found);

    // Helpers of the transfer shape every back end follows.
    // Share of done in size as a whole percentage; 64-bit so large files
    // do not overflow.
    static int TransferPercent(std::uint64_t done, std::uint64_t size);
    static wxString SourceText(const wxString& name);
    static wxString DestinationText(const wxString& name);

    bool m_connected;
    std::int32_t m_errorCode;
    std::int32_t m_systemError;
    wxString m_errorText;
    std::int32_t m_transport;
    wxEvtHandler* m_eventHandler;

private:
    void Notify(int id, int percent);
};

#endif
