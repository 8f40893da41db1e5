// Connects the device, recognises its model and finds the navigation
// software's folder, away from the window; posts one ID_CONNECT_DONE event.
#ifndef PONTIRO_SYNC_CONNECTINGTHREAD_H
#define PONTIRO_SYNC_CONNECTINGTHREAD_H

#include <wx/thread.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>

class VDXRDEV;
class wxEvtHandler;
class wxString;

// Device kind a map-extra text names (DEVICE_KIND_NONE when neither).
int RecogniseMapExtra(const wxString& mapExtra);

class CONNECTINGTHREAD : public wxThread
{
public:
    // The device is borrowed and must outlive the thread's Entry.
    explicit CONNECTINGTHREAD(VDXRDEV* device);
    ~CONNECTINGTHREAD() override;

    void SetFrame(wxEvtHandler* frame) { m_frame = frame; }
    // Stops the connection attempts; the thread then ends without an event,
    // at once from its pause between attempts, or after the attempt under
    // way.
    void RequestCancel();

    bool IsRecognised() const { return m_recognised; }
    bool IsFolderFound() const { return m_folderFound; }
    std::int32_t GetDeviceKind() const { return m_deviceKind; }
    // Carried as the integer of the thread's event, so that the window can
    // tell a late result of a replaced thread from the current one's.
    int GetSerial() const { return m_serial; }

protected:
    ExitCode Entry() override;
    void RecogniseModel();
    void LocateNavFolder();

private:
    // Pauses between attempts; true, at once, when a cancel ends the pause.
    bool PauseUntilCancelled(long milliseconds);

    VDXRDEV* m_device;
    bool m_recognised;
    bool m_folderFound;
    std::int32_t m_deviceKind;
    wxEvtHandler* m_frame;
    std::mutex m_lock;
    std::condition_variable m_cancelled;
    bool m_cancelRequested;
    const int m_serial;
};

#endif
