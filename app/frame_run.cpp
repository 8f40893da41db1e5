// The connection and the run: the worker threads' events, the timer and
// the release of what the threads used. The synchronisation fills these
// in, together with the classes they work on; nothing creates a device, a
// request or a thread before that.
#include "app/frame.h"

#include <wx/event.h>

void FrameDeleter::operator()(VDXRDEV*) const
{
}

void FrameDeleter::operator()(wxHTTPBuilder*) const
{
}

void FrameDeleter::operator()(CONNECTINGTHREAD*) const
{
}

void FrameDeleter::operator()(DOWNLOADINGTHREAD*) const
{
}

void FrameDeleter::operator()(UPLOADINGTHREAD*) const
{
}

void wxPontiroFrame::StopWorkers()
{
    m_connectingThread.reset();
    m_uploadThread.reset();
    m_downloadThread.reset();
    m_device.reset();
}

void wxPontiroFrame::StopRequest()
{
}

void wxPontiroFrame::StartRun()
{
}

bool wxPontiroFrame::StartDownload()
{
    return false;
}

void wxPontiroFrame::StartUpload()
{
}

void wxPontiroFrame::OnTimer(wxTimerEvent&)
{
}

void wxPontiroFrame::OnConnectDone(wxThreadEvent&)
{
}

void wxPontiroFrame::OnUploadStepBegin(wxThreadEvent&)
{
}

void wxPontiroFrame::OnUploadStepEnd(wxThreadEvent&)
{
}

void wxPontiroFrame::OnDownloadStepBegin(wxThreadEvent&)
{
}

void wxPontiroFrame::OnDownloadStepEnd(wxThreadEvent&)
{
}
