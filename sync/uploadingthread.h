// Writes the downloaded content into the navigation software's folder on
// the device, one job slot after the other, and reports each step with an
// event.
#ifndef PONTIRO_SYNC_UPLOADINGTHREAD_H
#define PONTIRO_SYNC_UPLOADINGTHREAD_H

#include <wx/string.h>
#include <wx/thread.h>

#include <atomic>
#include <cstdint>
#include <vector>

#ifdef __WINDOWS__
// Once in, Windows' headers would rename SetJob to the spooler's SetJobW.
#include <wx/msw/wrapwin.h>
#undef SetJob
#endif

class VDXRDEVRAPI;
class wxEvtHandler;

class UPLOADINGTHREAD : public wxThread
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
    void SetFrame(wxEvtHandler* frame);

    bool IsDone() const { return m_done; }
    // Ends the thread after the file being written (each file is written
    // whole or not at all); no further event is posted.
    void RequestStop() { m_stopRequested = true; }

protected:
    ExitCode Entry() override;

private:
    void SetJob(int slot, const wxString& subFolder, const wxString& fileName,
                std::vector<unsigned char> bytes);
    void Post(int id);
    void StepBegin();
    void StepEnd();
    void ReportFailure();

    VDXRDEVRAPI* m_device;
    bool m_armed[3];
    wxString m_folder[3];
    wxString m_fileName[3];
    std::vector<unsigned char> m_data[3];
    bool m_done;
    wxEvtHandler* m_frame;
    std::int32_t m_step;
    std::atomic<bool> m_stopRequested;
};

#endif
