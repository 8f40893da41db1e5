// Writes the downloaded content into the navigation software's folder on
// the device, one job slot after the other, and reports each step with an
// event.
#ifndef PONTIRO_SYNC_UPLOADINGTHREAD_H
#define PONTIRO_SYNC_UPLOADINGTHREAD_H

#include "device/bytevector.h"
#include "sync/jobthread.h"

#include <wx/string.h>

#include <cstdint>
#include <vector>

class VDXRDEVRAPI;

// Where the device can stage its files, a run commits all of them or none:
// each file is written beside its target and read back, and only when every
// one is verified do they replace their targets; a slot's end event means
// "staged and verified". A stop before that commit discards what is staged;
// a commit once begun runs to its end. A device that cannot stage gets each
// file written straight onto its target, and a stop ends the thread after
// the file being written.
class UPLOADINGTHREAD : public JobThread
{
public:
    // The device is borrowed and must outlive the thread.
    explicit UPLOADINGTHREAD(VDXRDEVRAPI* device);
    ~UPLOADINGTHREAD() override;

    // The slot's folder is g_navFolder followed by subFolder, in device
    // form. A slot without bytes stays unarmed; one without a file name
    // fails the run before anything is written. The thread keeps its own
    // bytes: a caller that no longer needs them moves them in rather than
    // have a second copy of a large file made.
    void SetJob1(const wxString& subFolder, const wxString& fileName, ByteVector bytes);
    void SetJob2(const wxString& subFolder, const wxString& fileName, ByteVector bytes);
    void SetJob3(const wxString& subFolder, const wxString& fileName, ByteVector bytes);
    // Also gives the frame to the device for its notifications.
    void SetFrame(wxEvtHandler* frame) override;

    // After a STEP_FAILED: the device had too little room for the run, and
    // nothing was touched. Both sizes in bytes.
    bool IsShortOfRoom() const { return m_shortOfRoom; }
    std::uint64_t GetRoomNeeded() const { return m_roomNeeded; }
    std::uint64_t GetRoomFree() const { return m_roomFree; }

protected:
    ExitCode Entry() override;

private:
    // Not SetJob: Windows' headers make that name a macro.
    void FillSlot(int slot, const wxString& subFolder, const wxString& fileName,
                  ByteVector bytes);
    wxString TargetPath(int slot) const;
    // The slot's folder, made below the navigation folder when missing.
    bool PrepareFolder(int slot, int levels);

    // The written way: each file straight onto its target.
    void WriteDirect(int levels);
    // All or nothing: repair, room, stage and verify, commit.
    void WriteStaged(const wxString& navFolder, int levels);
    bool HasRoom(const wxString& navFolder);
    // Removes the staged files of the slots before `end`.
    void DiscardStaged(int end);
    bool Commit();

    VDXRDEVRAPI* m_device;
    wxString m_folder[kSlotCount];
    wxString m_fileName[kSlotCount];
    ByteVector m_data[kSlotCount];
    // A slot given a job without a file name.
    bool m_unnamed[kSlotCount];

    // Written before the last event, read by the window when it handles it.
    bool m_shortOfRoom;
    std::uint64_t m_roomNeeded;
    std::uint64_t m_roomFree;
};

#endif
