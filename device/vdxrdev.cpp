#include "device/vdxrdev.h"

#include <wx/arrstr.h>
#include <wx/filefn.h>
#include <wx/tokenzr.h>

wxDEFINE_EVENT(EVT_DEVICE, wxThreadEvent);

namespace
{
// The navigation software keeps these three files in its folder.
const wxString LICENSE_FILE = wxS("license.db");
const wxString DATA_FILE = wxS("data.zip");
const wxString DEVICE_FILE = wxS("device.vdx");

const int SEARCH_DEPTH = 4;
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
    if (SearchInstallFolder(wxS("/"), acceptDeviceFile, SEARCH_DEPTH, found))
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
    const wxString license = folder + LICENSE_FILE;
    const wxString device = folder + DEVICE_FILE;
    if (Exists(license) && Exists(folder + DATA_FILE) && Exists(device))
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

bool VDXRDEV::EndDownload(bool failed, const wxString& localPath)
{
    if (!failed)
        return FinishTransfer();
    NotifyFailed();
    wxRemoveFile(localPath);
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
