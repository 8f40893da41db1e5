// The Next-button flow between the pages. The synchronisation fills these
// in; until then Next does nothing.
#include "app/frame.h"

void wxPontiroFrame::OnNext(wxCommandEvent&)
{
}

void wxPontiroFrame::OnContentCheck(wxCommandEvent&)
{
}

void wxPontiroFrame::OnBrowse(wxCommandEvent&)
{
}

void wxPontiroFrame::StartConnection()
{
}

void wxPontiroFrame::ConnectMemoryCard()
{
}

void wxPontiroFrame::OpenLoginPage()
{
}

void wxPontiroFrame::RetryConnection()
{
}
