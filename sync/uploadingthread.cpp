#include "sync/uploadingthread.h"

#include "device/vdxrdevrapi.h"
#include "sync/navfolder.h"
#include "sync/syncdefs.h"
#include "sync/syncevents.h"

#include <utility>

namespace
{

// Each staged file is counted in whole clusters of a typical card, and the
// run keeps some room for the folders and entries it makes.
constexpr std::uint64_t kRoomCluster = 32 * 1024;
constexpr std::uint64_t kRoomMargin = 64 * 1024;

std::uint64_t RoomFor(std::size_t bytes)
{
    return (static_cast<std::uint64_t>(bytes) + kRoomCluster - 1) / kRoomCluster * kRoomCluster;
}

// The clean-up after a failure works on the device too; the record keeps
// the failure's own reason.
template <typename CleanUp>
void KeepingTheError(VDXRDEV& device, CleanUp cleanUp)
{
    const std::int32_t code = device.GetErrorCode();
    const wxString text = device.GetErrorText();
    const std::int32_t systemError = device.GetSystemError();
    cleanUp();
    device.SetError(code, text, systemError);
}

} // namespace

UPLOADINGTHREAD::UPLOADINGTHREAD(VDXRDEVRAPI* device)
    : JobThread(EVT_UPLOADING, ID_UPLOAD_STEP_BEGIN, ID_UPLOAD_STEP_END),
      m_device(device),
      m_unnamed{false, false, false},
      m_shortOfRoom(false),
      m_roomNeeded(0),
      m_roomFree(0)
{
    if (m_device)
        m_device->SetEventHandler(nullptr);
}

UPLOADINGTHREAD::~UPLOADINGTHREAD() = default;

void UPLOADINGTHREAD::FillSlot(int slot, const wxString& subFolder, const wxString& fileName,
                               ByteVector bytes)
{
    // The device takes "/"-separated paths only; the navigation folder may
    // still be in the backslash form the device itself uses.
    m_folder[slot] = ToDevicePath(g_navFolder + subFolder);
    m_fileName[slot] = fileName;
    m_data[slot] = std::move(bytes);
    // A content chosen but given no file name cannot be written anywhere:
    // that is a failed run, not a skipped file.
    m_unnamed[slot] = fileName.empty();
    SetArmed(slot, !m_data[slot].empty() && !m_folder[slot].empty() && !m_fileName[slot].empty());
}

void UPLOADINGTHREAD::SetJob1(const wxString& subFolder, const wxString& fileName,
                              ByteVector bytes)
{
    FillSlot(0, subFolder, fileName, std::move(bytes));
}

void UPLOADINGTHREAD::SetJob2(const wxString& subFolder, const wxString& fileName,
                              ByteVector bytes)
{
    FillSlot(1, subFolder, fileName, std::move(bytes));
}

void UPLOADINGTHREAD::SetJob3(const wxString& subFolder, const wxString& fileName,
                              ByteVector bytes)
{
    FillSlot(2, subFolder, fileName, std::move(bytes));
}

void UPLOADINGTHREAD::SetFrame(wxEvtHandler* frame)
{
    JobThread::SetFrame(frame);
    if (m_device)
        m_device->SetEventHandler(frame);
}

wxString UPLOADINGTHREAD::TargetPath(int slot) const
{
    return ToDevicePath(m_folder[slot] + wxT("/") + m_fileName[slot]);
}

bool UPLOADINGTHREAD::PrepareFolder(int slot, int levels)
{
    return m_device->Exists(m_folder[slot]) || m_device->CreatePath(m_folder[slot], levels);
}

wxThread::ExitCode UPLOADINGTHREAD::Entry()
{
    if (!m_device)
        return 0;
    const wxString navFolder = ToDevicePath(g_navFolder);
    if (navFolder.empty() || !m_device->Exists(navFolder))
    {
        ReportFailure();
        return 0;
    }
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        if (m_unnamed[slot])
        {
            ReportFailure();
            return 0;
        }
    }
    // Missing sub-folders are made below the navigation folder, which must
    // be there already.
    const int levels = CountPathLevels(navFolder);
    if (m_device->CanStage())
        WriteStaged(navFolder, levels);
    else
        WriteDirect(levels);
    return 0;
}

void UPLOADINGTHREAD::WriteDirect(int levels)
{
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        if (!IsArmed(slot))
            continue;
        if (IsStopRequested())
            return;
        SelectSlot(slot);
        if (!PrepareFolder(slot, levels))
        {
            ReportFailure();
            return;
        }
        StepBegin();
        if (!m_device->WriteFromMemory(m_data[slot], TargetPath(slot)))
        {
            ReportFailure();
            return;
        }
        StepEnd();
    }
    ReportFinished();
}

void UPLOADINGTHREAD::WriteStaged(const wxString& navFolder, int levels)
{
    // What an interrupted commit left is put right before anything is
    // written, for every content of the run, written this time or not, and
    // for all of them at once: a commit cut short after its first files is
    // undone whole, not file by file into a mix of old and new.
    std::vector<wxString> targets;
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        if (!m_fileName[slot].empty())
            targets.push_back(TargetPath(slot));
    }
    if (!m_device->RepairStagedRun(targets))
    {
        ReportFailure();
        return;
    }
    if (!HasRoom(navFolder))
    {
        ReportFailure();
        return;
    }

    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        if (!IsArmed(slot))
            continue;
        if (IsStopRequested())
        {
            DiscardStaged(slot);
            return;
        }
        SelectSlot(slot);
        if (!PrepareFolder(slot, levels))
        {
            KeepingTheError(*m_device, [&] { DiscardStaged(slot); });
            ReportFailure();
            return;
        }
        StepBegin();
        const wxString target = TargetPath(slot);
        if (!m_device->WriteStaged(m_data[slot], target) || !m_device->VerifyStaged(m_data[slot], target))
        {
            KeepingTheError(*m_device, [&] { DiscardStaged(slot + 1); });
            ReportFailure();
            return;
        }
        StepEnd();
    }
    // The last chance to stop: a commit once begun runs to its end.
    if (IsStopRequested())
    {
        DiscardStaged(kSlotCount);
        return;
    }
    if (!Commit())
    {
        ReportFailure();
        return;
    }
    ReportFinished();
}

bool UPLOADINGTHREAD::HasRoom(const wxString& navFolder)
{
    std::uint64_t freeBytes = 0;
    // A device that cannot tell its free space is not held up: the staged
    // writes still fail cleanly when it runs out.
    if (!m_device->GetFreeSpace(navFolder, freeBytes))
        return true;
    std::uint64_t needed = kRoomMargin;
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        if (IsArmed(slot))
            needed += RoomFor(m_data[slot].size());
    }
    if (needed <= freeBytes)
        return true;
    m_shortOfRoom = true;
    m_roomNeeded = needed;
    m_roomFree = freeBytes;
    return false;
}

void UPLOADINGTHREAD::DiscardStaged(int end)
{
    for (int slot = 0; slot < end; ++slot)
    {
        if (IsArmed(slot))
            m_device->DiscardStaged(TargetPath(slot));
    }
}

bool UPLOADINGTHREAD::Commit()
{
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        if (!IsArmed(slot) || m_device->CommitStaged(TargetPath(slot)))
            continue;
        // The earlier files go back as they were, the later ones are never
        // committed.
        KeepingTheError(*m_device, [&] {
            for (int undo = slot; undo >= 0; --undo)
            {
                if (IsArmed(undo))
                    m_device->RollbackStaged(TargetPath(undo));
            }
            for (int rest = slot + 1; rest < kSlotCount; ++rest)
            {
                if (IsArmed(rest))
                    m_device->DiscardStaged(TargetPath(rest));
            }
        });
        return false;
    }
    // Every new file is in place; an old copy that stays behind is the next
    // run's repair to remove.
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        if (IsArmed(slot))
            m_device->FinishCommit(TargetPath(slot));
    }
    return true;
}
