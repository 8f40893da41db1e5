// Writes the downloaded content into the navigation software's folder on
// the device, one job slot after the other, and reports each step with an
// event.
#ifndef PONTIRO_SYNC_UPLOADINGTHREAD_H
#define PONTIRO_SYNC_UPLOADINGTHREAD_H

#include "sync/jobthread.h"

#include <wx/string.h>

#include <vector>

class VDXRDEVRAPI;

// A stop ends the thread after the file being written (each file is
// written whole or not at all).
class UPLOADINGTHREAD : public JobThread
{
public:
    // The device is borrowed and must outlive the thread.
    explicit UPLOADINGTHREAD(VDXRDEVRAPI* device);
    ~UPLOADINGTHREAD() override;

    // The slot's folder is g_navFolder followed by subFolder, in device
    // form. A slot missing any of folder, name or bytes stays unarmed. The
    // thread keeps its own bytes: a caller that no longer needs them moves
    // them in rather than have a second copy of a large file made.
    void SetJob1(const wxString& subFolder, const wxString& fileName, std::vector<unsigned char> bytes);
    void SetJob2(const wxString& subFolder, const wxString& fileName, std::vector<unsigned char> bytes);
    void SetJob3(const wxString& subFolder, const wxString& fileName, std::vector<unsigned char> bytes);
    // Also gives the frame to the device for its notifications.
    void SetFrame(wxEvtHandler* frame) override;

protected:
    ExitCode Entry() override;

private:
    // Not SetJob: Windows' headers make that name a macro.
    void FillSlot(int slot, const wxString& subFolder, const wxString& fileName,
                  std::vector<unsigned char> bytes);

    VDXRDEVRAPI* m_device;
    wxString m_folder[kSlotCount];
    wxString m_fileName[kSlotCount];
    std::vector<unsigned char> m_data[kSlotCount];
};

#endif
