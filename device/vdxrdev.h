// The device as the rest of the program sees it: folder, file and identity
// operations on the navigation device, whichever way it is reached.
#ifndef PONTIRO_DEVICE_VDXRDEV_H
#define PONTIRO_DEVICE_VDXRDEV_H

#include "device/bytevector.h"
#include "device/devicedefs.h"
#include "device/lazyid.h"

#include <wx/event.h>
#include <wx/string.h>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <vector>

// The Windows headers make DeleteFile (DeleteFileW) a macro, which would
// rename the device operation wherever they were included first. It is set
// aside while this header declares the operations and put back at its end;
// a file that has the Windows headers and calls the operation undefines the
// macro itself.
#if defined(_WIN32) && defined(DeleteFile)
#undef DeleteFile
#define PONTIRO_VDXRDEV_DELETEFILE_UNDEFINED
#endif
// GetFreeSpace is a macro there too, a Win16 relic that nothing here uses:
// it goes for good. A file that includes the Windows headers after this one
// and calls the operation undefines it itself.
#if defined(_WIN32) && defined(GetFreeSpace)
#undef GetFreeSpace
#endif

class wxArrayString;
class DeviceReader;
class DeviceWriter;
class DownloadTarget;
class UploadSource;

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

    // --- staged, verified, all-or-nothing replacement ---------------------
    // Beside each target path, in its own folder: <path>.pontiro-new is the
    // staged new file, <path>.pontiro-old the previous one during a commit.
    static wxString StagedPath(const wxString& path);
    static wxString OldPath(const wxString& path);
    // True when this device can replace a file without destroying the old
    // one first (the card always; the Remote API only when the provider
    // exports CeMoveFile). When false, WriteFromMemory straight onto the
    // target is all there is.
    virtual bool CanStage();
    // Writes bytes to path's staged file, flushed to the medium, with the
    // notifications and error record of WriteFromMemory (texts name path).
    // An empty vector stages an empty file. On failure the staged file is
    // removed as far as the medium lets it be; the target is untouched.
    virtual bool WriteStaged(const ByteVector& bytes, const wxString& path);
    // Reads path's staged file back from the medium and compares it with
    // bytes; on a card the read bypasses the system's cache as far as the
    // platform allows. Posts no notifications. False on a difference
    // (DEVICE_ERR_VERIFY, ">" + path) or a failed read.
    virtual bool VerifyStaged(const ByteVector& bytes, const wxString& path);
    // First phase of the commit: target -> <path>.pontiro-old (when there is
    // a target), then staged -> target. The old copy stays until
    // FinishCommit. Failures: DEVICE_ERR_RENAME (">" + the name the file was
    // to get), DEVICE_ERR_OPEN when nothing is staged, DEVICE_ERR_UNSUPPORTED
    // without CanStage.
    virtual bool CommitStaged(const wxString& path);
    // Undoes what CommitStaged did to path in this object, as far as it
    // went: the old file back in place (or the new target removed when
    // there was none before), the staged file removed. Without a commit to
    // undo it only removes the staged file and puts back an old file whose
    // target is missing; it never removes a target it did not put there.
    virtual bool RollbackStaged(const wxString& path);
    // Last phase: removes <path>.pontiro-old.
    virtual bool FinishCommit(const wxString& path);
    // Removes path's staged file if there is one.
    virtual bool DiscardStaged(const wxString& path);
    // Before a run writes anything: where <path>.pontiro-old exists and the
    // target does not, the old file goes back; leftover staged and old files
    // are removed. False only when the medium refuses.
    virtual bool RepairStaged(const wxString& path);
    // RepairStaged for all of a run's target paths at once, which also keeps
    // the run all-or-nothing across a commit cut short: while a staged file
    // is still there beside old copies, the commit did not get through, and
    // every old copy goes back over its target (a file the run added where
    // there was none stays). Otherwise each path as above.
    virtual bool RepairStagedRun(const std::vector<wxString>& paths);
    // Free bytes for new files in the file system of folder (64-bit). False
    // when unknown (DEVICE_ERR_UNSUPPORTED when the device cannot tell,
    // DEVICE_ERR_FREE_SPACE when it failed to).
    virtual bool GetFreeSpace(const wxString& folder, std::uint64_t& freeBytes);

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

    // Where the back ends' transfers differ, besides how their files are
    // opened, read and written. The defaults are the Remote API device's.
    struct TransferRules
    {
        // A transfer whose file cannot be opened posts the failure notice.
        bool openFailureNotifies = true;
        // The code of a local write that came short, copying from the device.
        std::int32_t localWriteError = DEVICE_ERR_LOCAL_WRITE;
        // The name of a byte vector in error texts.
        const wchar_t* memoryName = kMemoryNameRapi;
        // The largest device file read into memory: the size is the
        // device's word, and a broken one must not make the program
        // allocate without end.
        std::uint64_t largestMemoryRead = std::numeric_limits<std::int32_t>::max();
    };

    // The start of every transfer: the record cleared and the start posted;
    // false (failure posted) when the device cannot take a transfer now.
    virtual bool StartTransfer();

    // The back end's device files; null when the file cannot be opened,
    // with the device's error number in systemError. A device without
    // files of its own has none.
    virtual std::unique_ptr<DeviceReader> OpenReader(const wxString& path,
                                                     std::int32_t& systemError);
    virtual std::unique_ptr<DeviceWriter> OpenWriter(const wxString& path,
                                                     std::int32_t& systemError);
    // Path's staged file for writing: its Finish leaves the bytes flushed
    // to the medium under the staged name, its Discard removes it. The
    // default is OpenWriter on the staged name.
    virtual std::unique_ptr<DeviceWriter> OpenStagedWriter(const wxString& path,
                                                           std::int32_t& systemError);
    // A staged file read back for verification; the default is OpenReader.
    virtual std::unique_ptr<DeviceReader> OpenVerifyReader(const wxString& stagedPath,
                                                           std::int32_t& systemError);
    // Renames a device file; to must not exist. None by default.
    virtual bool MoveDeviceFile(const wxString& from, const wxString& to,
                                std::int32_t& systemError);

    // Whole-file transfers, the same on every back end from the opening of
    // their files on; the caller has cleared the record and posted the start.
    bool FileToDevice(const wxString& localPath, const wxString& path);
    bool MemoryToDevice(const ByteVector& bytes, const wxString& path);
    bool DeviceToFile(const wxString& path, const wxString& localPath);
    bool DeviceToMemory(const wxString& path, ByteVector& bytes);

    // The transfer loops, one per direction, once both ends are open: the
    // bytes in pieces of the device's largest span, progress whenever the
    // whole percentage changes, and one rule for a device that takes
    // nothing. A failed upload leaves no partial device file, a failed
    // download no partial local file and no filled vector.
    bool MoveToDevice(UploadSource& from, DeviceWriter& to, const wxString& path);
    bool MoveFromDevice(DeviceReader& from, DownloadTarget& to, const wxString& path);

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
    TransferRules m_transferRules;

private:
    // How far CommitStaged went for a path, for RollbackStaged.
    struct CommitState
    {
        bool movedOld = false;
        bool movedNew = false;
    };
    bool Rename(const wxString& from, const wxString& to);
    bool RemoveIfThere(const wxString& path);
    // done, and path's staged file removed; the record of a failure in done
    // stays.
    bool AndRemoveStaged(bool done, const wxString& path);

    void Notify(int id, int percent);
    // A file of a transfer cannot be opened: the error, and the failure
    // notice where the back end posts one.
    bool FailOpen(std::int32_t code, const wxString& text, std::int32_t systemError);
    bool FailUpload(DeviceWriter& to, std::int32_t code, const wxString& text,
                    std::int32_t systemError);
    bool FailDownload(DeviceReader& from, DownloadTarget& to, std::int32_t code,
                      const wxString& text, std::int32_t systemError);
    // Posts percent unless it is the one posted last.
    void PostProgress(int percent, int& posted);

    std::map<wxString, CommitState> m_commits;
};

// The Windows headers' macros, put back as this header found them.
#if defined(_WIN32) && defined(PONTIRO_VDXRDEV_DELETEFILE_UNDEFINED)
#undef PONTIRO_VDXRDEV_DELETEFILE_UNDEFINED
#if defined(UNICODE)
#define DeleteFile DeleteFileW
#else
#define DeleteFile DeleteFileA
#endif
#endif

#endif
