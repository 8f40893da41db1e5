#include "device/vdxrdev.h"

#include "device/transferends.h"

#include <wx/arrstr.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/log.h>
#include <wx/tokenzr.h>

#include <algorithm>
#include <cstdint>

wxDEFINE_EVENT(EVT_DEVICE, wxThreadEvent);

namespace
{
// The navigation software keeps these three files in its folder.
const wxString kLicenseFile = wxS("license.db");
const wxString kDataFile = wxS("data.zip");
const wxString kDeviceFile = wxS("device.vdx");

const int kSearchDepth = 4;

// Writes in a row that the device reports done with 0 bytes before an
// upload is given up: the transfer must not spin on a stuck device.
const int kZeroWritesAllowed = 3;
}

VDXRDEV::VDXRDEV()
    : m_connected(false),
      m_errorCode(0),
      m_systemError(0),
      m_transport(TRANSPORT_NONE),
      m_eventHandler(nullptr)
{
    ClearError();
}

VDXRDEV::~VDXRDEV() = default;

void VDXRDEV::SetError(std::int32_t code, const wxString& text, std::int32_t systemError)
{
    m_errorCode = code;
    m_errorText = text;
    m_systemError = systemError;
}

void VDXRDEV::ClearError()
{
    SetError(0, wxString(), 0);
}

wxString VDXRDEV::MapPath(const wxString& path)
{
    ClearError();
    return path;
}

bool VDXRDEV::CreatePath(const wxString& path, std::int32_t levels)
{
    if (path.empty() || path[0] != '/')
        return false;
    if (levels == 0)
        return CreateDir(path, true);

    const wxArrayString parts = wxStringTokenize(path, wxS("/"), wxTOKEN_STRTOK);
    if (levels < 0 || parts.size() <= static_cast<size_t>(levels))
        return Exists(path);

    wxString prefix = wxS("/");
    for (std::int32_t i = 0; i < levels; ++i)
        prefix << parts[i] << '/';
    if (!Exists(prefix))
        return false;
    return CreateDir(path, true);
}

wxString VDXRDEV::FindLicenseFile(bool acceptDeviceFile)
{
    ClearError();
    wxString found;
    if (SearchInstallFolder(wxS("/"), acceptDeviceFile, kSearchDepth, found))
        return found;
    return wxString();
}

bool VDXRDEV::SearchInstallFolder(const wxString& folder, bool acceptDeviceFile,
                                  int depth, wxString& found)
{
    if (CheckInstallFolder(folder, acceptDeviceFile, found))
        return true;
    if (depth <= 0)
        return false;

    wxArrayString names;
    if (!ListDirs(folder, names) || names.empty())
        return false;
    for (const wxString& name : names)
    {
        if (SearchInstallFolder(folder + name + '/', acceptDeviceFile, depth - 1, found))
            return true;
    }
    return false;
}

bool VDXRDEV::CheckInstallFolder(const wxString& folder, bool acceptDeviceFile, wxString& found)
{
    const wxString license = folder + kLicenseFile;
    const wxString device = folder + kDeviceFile;
    if (Exists(license) && Exists(folder + kDataFile) && Exists(device))
    {
        found = license;
        return true;
    }
    if (acceptDeviceFile && Exists(device))
    {
        found = device;
        return true;
    }
    return false;
}

void VDXRDEV::Notify(int id, int percent)
{
    if (!m_eventHandler)
        return;
    auto* event = new wxThreadEvent(EVT_DEVICE, id);
    event->SetInt(percent);
    wxQueueEvent(m_eventHandler, event);
}

void VDXRDEV::NotifyStarted()
{
    Notify(ID_DEVICE_STARTED, 0);
}

void VDXRDEV::NotifyProgress(int percent)
{
    Notify(ID_DEVICE_PROGRESS, percent);
}

void VDXRDEV::NotifyFinished()
{
    Notify(ID_DEVICE_FINISHED, 0);
}

void VDXRDEV::NotifyFailed()
{
    Notify(ID_DEVICE_FAILED, 0);
}

bool VDXRDEV::FinishTransfer()
{
    NotifyProgress(100);
    NotifyFinished();
    return true;
}

bool VDXRDEV::FailTransfer(std::int32_t code, const wxString& text, std::int32_t systemError)
{
    SetError(code, text, systemError);
    NotifyFailed();
    return false;
}

bool VDXRDEV::FailOpen(std::int32_t code, const wxString& text, std::int32_t systemError)
{
    SetError(code, text, systemError);
    if (m_transferRules.openFailureNotifies)
        NotifyFailed();
    return false;
}

bool VDXRDEV::FailUpload(DeviceWriter& to, std::int32_t code, const wxString& text,
                         std::int32_t systemError)
{
    to.Discard();
    return FailTransfer(code, text, systemError);
}

bool VDXRDEV::FailDownload(DeviceReader& from, DownloadTarget& to, std::int32_t code,
                           const wxString& text, std::int32_t systemError)
{
    from.Close();
    to.Discard();
    return FailTransfer(code, text, systemError);
}

void VDXRDEV::PostProgress(int percent, int& posted)
{
    // A receiver gets at most one notice per whole percentage, however
    // many pieces the file takes.
    if (percent == posted)
        return;
    posted = percent;
    NotifyProgress(percent);
}

bool VDXRDEV::StartTransfer()
{
    ClearError();
    NotifyStarted();
    return true;
}

std::unique_ptr<DeviceReader> VDXRDEV::OpenReader(const wxString&, std::int32_t& systemError)
{
    systemError = 0;
    return nullptr;
}

std::unique_ptr<DeviceWriter> VDXRDEV::OpenWriter(const wxString&, std::int32_t& systemError)
{
    systemError = 0;
    return nullptr;
}

std::unique_ptr<DeviceWriter> VDXRDEV::OpenStagedWriter(const wxString& path,
                                                         std::int32_t& systemError)
{
    return OpenWriter(StagedPath(path), systemError);
}

std::unique_ptr<DeviceReader> VDXRDEV::OpenVerifyReader(const wxString& stagedPath,
                                                         std::int32_t& systemError)
{
    return OpenReader(stagedPath, systemError);
}

bool VDXRDEV::MoveDeviceFile(const wxString&, const wxString&, std::int32_t& systemError)
{
    systemError = 0;
    return false;
}

bool VDXRDEV::FileToDevice(const wxString& localPath, const wxString& path)
{
    wxLogNull noLog;
    wxFile local;
    if (!OpenFileForReading(local, localPath))
        return FailOpen(DEVICE_ERR_LOCAL_OPEN, SourceText(localPath), 0);
    std::int32_t systemError = 0;
    const std::unique_ptr<DeviceWriter> writer = OpenWriter(path, systemError);
    if (!writer)
        return FailOpen(DEVICE_ERR_OPEN, DestinationText(path), systemError);
    ClearError();
    LocalFileSource source(local, localPath);
    return MoveToDevice(source, *writer, path);
}

bool VDXRDEV::MemoryToDevice(const ByteVector& bytes, const wxString& path)
{
    std::int32_t systemError = 0;
    const std::unique_ptr<DeviceWriter> writer = OpenWriter(path, systemError);
    if (!writer)
        return FailOpen(DEVICE_ERR_OPEN, DestinationText(path), systemError);
    // The record is left as the open left it: a path in the device's own
    // form stays marked.
    MemorySource source(bytes, m_transferRules.memoryName);
    return MoveToDevice(source, *writer, path);
}

bool VDXRDEV::DeviceToFile(const wxString& path, const wxString& localPath)
{
    std::int32_t systemError = 0;
    const std::unique_ptr<DeviceReader> reader = OpenReader(path, systemError);
    if (!reader)
        return FailOpen(DEVICE_ERR_OPEN, SourceText(path), systemError);
    wxLogNull noLog;
    wxFile local;
    if (!local.Create(localPath, true, wxS_DEFAULT))
    {
        reader->Close();
        return FailOpen(DEVICE_ERR_LOCAL_OPEN, DestinationText(localPath), 0);
    }
    ClearError();
    LocalFileTarget target(local, localPath, m_transferRules.localWriteError);
    return MoveFromDevice(*reader, target, path);
}

bool VDXRDEV::DeviceToMemory(const wxString& path, ByteVector& bytes)
{
    std::int32_t systemError = 0;
    const std::unique_ptr<DeviceReader> reader = OpenReader(path, systemError);
    if (!reader)
    {
        bytes.clear();
        return FailOpen(DEVICE_ERR_OPEN, SourceText(path), systemError);
    }
    ClearError();
    MemoryTarget target(bytes, m_transferRules.memoryName, m_transferRules.largestMemoryRead);
    return MoveFromDevice(*reader, target, path);
}

namespace
{
// The span of the next write or read: whole pieces from done up to where
// TransferPercent passes its value at done, so that each ends where a
// transfer piece by piece would post its next notification; at least one
// piece (which also finds a file that grows), at most largest.
std::size_t NextSpan(std::uint64_t done, std::uint64_t size, std::size_t piece, std::size_t largest)
{
    if (done >= size)
        return piece;
    std::uint64_t next = size;
    if (size <= UINT64_MAX / 100)
    {
        const std::uint64_t percent = done * 100 / size;
        if (percent < 99)
            next = ((percent + 1) * size + 99) / 100;
    }
    else
    {
        const std::uint64_t percent = done / (size / 100);
        if (percent < 99)
            next = (percent + 1) * (size / 100);
    }
    const std::uint64_t pieces = (next - done + piece - 1) / piece;
    return static_cast<std::size_t>(std::min<std::uint64_t>(pieces * piece, largest));
}
}

bool VDXRDEV::MoveToDevice(UploadSource& from, DeviceWriter& to, const wxString& path)
{
    int posted = 0;
    NotifyProgress(posted);
    std::uint64_t size = 0;
    if (!from.Size(size))
        return FailUpload(to, DEVICE_ERR_READ, SourceText(from.Name()), 0);

    const std::size_t piece = std::max<std::size_t>(to.PieceSize(), 1);
    const std::size_t largest = std::max(to.LargestWrite() / piece, std::size_t(1)) * piece;
    std::uint64_t done = 0;
    int zeroWrites = 0;
    // A source that grows under the transfer is not followed for ever; the
    // count check below fails it.
    while (done <= size)
    {
        const unsigned char* data = nullptr;
        std::size_t available = 0;
        if (!from.Peek(NextSpan(done, size, piece, largest), data, available))
            return FailUpload(to, DEVICE_ERR_READ, SourceText(from.Name()), 0);
        if (available == 0)
            break;
        std::size_t written = 0;
        std::int32_t systemError = 0;
        if (!to.Write(data, available, written, systemError))
            return FailUpload(to, DEVICE_ERR_WRITE, DestinationText(path), systemError);
        // A short write goes on from where the device stopped; one that
        // keeps taking nothing is given up.
        if (written > available || (written == 0 && ++zeroWrites >= kZeroWritesAllowed))
            return FailUpload(to, DEVICE_ERR_WRITE, DestinationText(path), 0);
        if (written == 0)
            continue;
        zeroWrites = 0;
        from.Consume(written);
        done += written;
        PostProgress(TransferPercent(done, size), posted);
    }
    if (done != size)
        return FailUpload(to, DEVICE_ERR_WRITE, DestinationText(path), 0);
    std::int32_t systemError = 0;
    if (!to.Finish(systemError))
        return FailUpload(to, DEVICE_ERR_WRITE, DestinationText(path), systemError);
    return FinishTransfer();
}

bool VDXRDEV::MoveFromDevice(DeviceReader& from, DownloadTarget& to, const wxString& path)
{
    int posted = 0;
    NotifyProgress(posted);
    std::uint64_t size = 0;
    if (!from.Size(size))
        return FailDownload(from, to, DEVICE_ERR_READ, SourceText(path), 0);
    std::int32_t code = to.Prepare(size);
    if (code != 0)
        return FailDownload(from, to, code, DestinationText(to.Name()), 0);

    const std::size_t piece = std::max<std::size_t>(from.PieceSize(), 1);
    const std::size_t largest = std::max(from.LargestRead() / piece, std::size_t(1)) * piece;
    std::uint64_t done = 0;
    // Nothing is read from an empty file; one that grows under the transfer
    // is not followed for ever.
    while (size > 0 && done <= size)
    {
        std::size_t room = 0;
        unsigned char* space = to.Space(NextSpan(done, size, piece, largest), room);
        if (room == 0)
            break;
        std::size_t read = 0;
        std::int32_t systemError = 0;
        if (!from.Read(space, room, read, systemError))
            return FailDownload(from, to, DEVICE_ERR_READ, SourceText(path), systemError);
        if (read > room)
            return FailDownload(from, to, DEVICE_ERR_READ, SourceText(path), 0);
        if (read == 0)
            break;
        code = to.Accept(read);
        if (code != 0)
            return FailDownload(from, to, code, DestinationText(to.Name()), 0);
        done += read;
        PostProgress(TransferPercent(done, size), posted);
    }
    from.Close();
    if (done != size)
        return FailDownload(from, to, DEVICE_ERR_READ, DestinationText(to.Name()), 0);
    code = to.Finish();
    if (code != 0)
        return FailDownload(from, to, code, DestinationText(to.Name()), 0);
    return FinishTransfer();
}

wxString VDXRDEV::StagedPath(const wxString& path)
{
    return path + kStagedSuffix;
}

wxString VDXRDEV::OldPath(const wxString& path)
{
    return path + kOldSuffix;
}

bool VDXRDEV::CanStage()
{
    return false;
}

bool VDXRDEV::WriteStaged(const ByteVector& bytes, const wxString& path)
{
    if (!StartTransfer())
        return false;
    // A folder in the target's place would only fail at the commit.
    if (DirExists(path))
        return FailOpen(DEVICE_ERR_OPEN, DestinationText(path), 0);
    std::int32_t systemError = 0;
    const std::unique_ptr<DeviceWriter> writer = OpenStagedWriter(path, systemError);
    if (!writer)
        return FailOpen(DEVICE_ERR_OPEN, DestinationText(path), systemError);
    MemorySource source(bytes, m_transferRules.memoryName);
    return MoveToDevice(source, *writer, path);
}

namespace
{
// Holds a device's notifications back while it lives.
class QuietNotifications
{
public:
    explicit QuietNotifications(VDXRDEV& device)
        : m_device(device), m_handler(device.GetEventHandler())
    {
        m_device.SetEventHandler(nullptr);
    }
    ~QuietNotifications() { m_device.SetEventHandler(m_handler); }
    QuietNotifications(const QuietNotifications&) = delete;
    QuietNotifications& operator=(const QuietNotifications&) = delete;

private:
    VDXRDEV& m_device;
    wxEvtHandler* m_handler;
};
}

bool VDXRDEV::VerifyStaged(const ByteVector& bytes, const wxString& path)
{
    // The receiver saw the file's transfer once; the read-back is not a
    // second one.
    QuietNotifications quiet(*this);
    if (!StartTransfer())
        return false;
    std::int32_t systemError = 0;
    const std::unique_ptr<DeviceReader> reader = OpenVerifyReader(StagedPath(path), systemError);
    if (!reader)
        return FailOpen(DEVICE_ERR_OPEN, SourceText(path), systemError);
    ClearError();
    CompareTarget target(bytes, path);
    return MoveFromDevice(*reader, target, path);
}

bool VDXRDEV::Rename(const wxString& from, const wxString& to)
{
    std::int32_t systemError = 0;
    if (MoveDeviceFile(from, to, systemError))
        return true;
    SetError(DEVICE_ERR_RENAME, DestinationText(to), systemError);
    return false;
}

bool VDXRDEV::RemoveIfThere(const wxString& path)
{
    if (!FileExists(path) || DeleteFile(path))
        return true;
    SetError(DEVICE_ERR_DELETE, path, 0);
    return false;
}

bool VDXRDEV::CommitStaged(const wxString& path)
{
    ClearError();
    m_commits.erase(path);
    if (!CanStage())
    {
        SetError(DEVICE_ERR_UNSUPPORTED, wxS("CommitStaged"), 0);
        return false;
    }
    const wxString staged = StagedPath(path);
    const wxString old = OldPath(path);
    if (!FileExists(staged))
    {
        SetError(DEVICE_ERR_OPEN, SourceText(staged), 0);
        return false;
    }
    CommitState& state = m_commits[path];
    if (FileExists(path))
    {
        // An old copy still here is a leftover: the target is the newer.
        if (!RemoveIfThere(old) || !Rename(path, old))
            return false;
        state.movedOld = true;
    }
    if (!Rename(staged, path))
        return false;
    state.movedNew = true;
    return true;
}

bool VDXRDEV::RollbackStaged(const wxString& path)
{
    ClearError();
    CommitState state;
    const auto found = m_commits.find(path);
    if (found != m_commits.end())
    {
        state = found->second;
        m_commits.erase(found);
    }
    const wxString old = OldPath(path);
    bool restored = true;
    if (state.movedNew)
    {
        // The target is the one the commit put there.
        restored = DeleteFile(path);
        if (!restored)
            SetError(DEVICE_ERR_DELETE, path, 0);
        if (restored && state.movedOld)
            restored = Rename(old, path);
    }
    else if (state.movedOld || (FileExists(old) && !FileExists(path)))
    {
        restored = Rename(old, path);
    }
    return AndRemoveStaged(restored, path);
}

bool VDXRDEV::AndRemoveStaged(bool done, const wxString& path)
{
    // A failure before this one keeps its record.
    const std::int32_t code = m_errorCode;
    const wxString text = m_errorText;
    const std::int32_t systemError = m_systemError;
    const bool removed = RemoveIfThere(StagedPath(path));
    if (!done)
        SetError(code, text, systemError);
    return done && removed;
}

bool VDXRDEV::FinishCommit(const wxString& path)
{
    ClearError();
    m_commits.erase(path);
    return RemoveIfThere(OldPath(path));
}

bool VDXRDEV::DiscardStaged(const wxString& path)
{
    ClearError();
    return RemoveIfThere(StagedPath(path));
}

bool VDXRDEV::RepairStaged(const wxString& path)
{
    ClearError();
    m_commits.erase(path);
    const wxString old = OldPath(path);
    bool repaired = true;
    if (FileExists(old))
    {
        // A commit cut short between its two renames: the old file goes
        // back. Beside a target it is a commit's leftover.
        repaired = FileExists(path) ? RemoveIfThere(old) : Rename(old, path);
    }
    return AndRemoveStaged(repaired, path);
}

bool VDXRDEV::RepairStagedRun(const std::vector<wxString>& paths)
{
    ClearError();
    bool staged = false;
    bool old = false;
    for (const wxString& path : paths)
    {
        staged = staged || FileExists(StagedPath(path));
        old = old || FileExists(OldPath(path));
    }
    const bool cutShort = staged && old;

    bool repaired = true;
    std::int32_t code = 0;
    wxString text;
    std::int32_t systemError = 0;
    for (const wxString& path : paths)
    {
        bool done;
        if (cutShort && FileExists(OldPath(path)))
        {
            m_commits.erase(path);
            done = AndRemoveStaged(RemoveIfThere(path) && Rename(OldPath(path), path), path);
        }
        else
        {
            done = RepairStaged(path);
        }
        if (!done && repaired)
        {
            code = m_errorCode;
            text = m_errorText;
            systemError = m_systemError;
        }
        repaired = repaired && done;
    }
    SetError(code, text, systemError);
    return repaired;
}

bool VDXRDEV::GetFreeSpace(const wxString&, std::uint64_t& freeBytes)
{
    freeBytes = 0;
    SetError(DEVICE_ERR_UNSUPPORTED, wxS("GetFreeSpace"), 0);
    return false;
}

int VDXRDEV::TransferPercent(std::uint64_t done, std::uint64_t size)
{
    if (size == 0 || done >= size)
        return 100;
    if (size <= UINT64_MAX / 100)
        return static_cast<int>(done * 100 / size);
    return static_cast<int>(done / (size / 100));
}

wxString VDXRDEV::SourceText(const wxString& name)
{
    return wxString(DEVICE_MARK_SOURCE) + name;
}

wxString VDXRDEV::DestinationText(const wxString& name)
{
    return wxString(DEVICE_MARK_DESTINATION) + name;
}
