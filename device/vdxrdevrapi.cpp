#include "device/vdxrdevrapi.h"

#include <wx/arrstr.h>

const wxChar* const DEVICE_LIBRARY_PATH = wxS("/windows/vdxrapi.dll");

VDXRDEVRAPI::VDXRDEVRAPI()
{
    ForgetEntryPoints();
    m_transport = TRANSPORT_ACTIVESYNC;
}

VDXRDEVRAPI::~VDXRDEVRAPI()
{
    if (m_connected)
        Disconnect();
    if (m_rapi.IsLoaded())
        m_rapi.Unload();
}

void VDXRDEVRAPI::ForgetEntryPoints()
{
    m_ceRapiInitEx = nullptr;
    m_ceRapiUninit = nullptr;
    m_ceGetLastError = nullptr;
    m_ceRapiGetError = nullptr;
    m_ceRapiInvoke = nullptr;
    m_ceFindFirstFile = nullptr;
    m_ceFindNextFile = nullptr;
    m_ceFindClose = nullptr;
    m_ceCreateFile = nullptr;
    m_ceReadFile = nullptr;
    m_ceWriteFile = nullptr;
    m_ceGetFileSize = nullptr;
    m_ceSetFilePointer = nullptr;
    m_ceSetFileAttributes = nullptr;
    m_ceGetFileAttributes = nullptr;
    m_ceDeleteFile = nullptr;
    m_ceCloseHandle = nullptr;
    m_ceCreateDirectory = nullptr;
    m_ceRemoveDirectory = nullptr;
    m_releaseReply = nullptr;
}

bool VDXRDEVRAPI::WriteBytes(const void* data, const wxString& path, std::uint32_t length)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    std::vector<unsigned char> copy;
    if (bytes && length)
        copy.assign(bytes, bytes + length);
    return WriteFromMemory(copy, path);
}

// The Remote API binding is not there yet: every operation fails.

bool VDXRDEVRAPI::Connect()
{
    m_connected = false;
    SetError(DEVICE_ERR_NO_RAPI, wxS("rapi.dll"), 0);
    return false;
}

bool VDXRDEVRAPI::Disconnect()
{
    ForgetEntryPoints();
    m_connected = false;
    ClearError();
    return true;
}

bool VDXRDEVRAPI::ReadToMemory(const wxString&, std::vector<unsigned char>& bytes)
{
    ClearError();
    bytes.clear();
    return false;
}

bool VDXRDEVRAPI::WriteFromMemory(const std::vector<unsigned char>&, const wxString&)
{
    ClearError();
    return false;
}

bool VDXRDEVRAPI::CopyToDevice(const wxString&, const wxString&) { return false; }
bool VDXRDEVRAPI::CopyFromDevice(const wxString&, const wxString&) { return false; }
bool VDXRDEVRAPI::DeleteFile(const wxString&) { return false; }
bool VDXRDEVRAPI::Exists(const wxString&) { return false; }
bool VDXRDEVRAPI::DirExists(const wxString&) { return false; }
bool VDXRDEVRAPI::FileExists(const wxString&) { return false; }
bool VDXRDEVRAPI::CreateDir(const wxString&, bool) { return false; }

bool VDXRDEVRAPI::ListDirs(const wxString&, wxArrayString& names)
{
    names.clear();
    return false;
}

bool VDXRDEVRAPI::ListFiles(const wxString&, wxArrayString& names)
{
    names.clear();
    return false;
}

wxString VDXRDEVRAPI::MapPath(const wxString& path)
{
    ClearError();
    if (path.empty() || path[0] != '/')
        SetError(DEVICE_ERR_BAD_PATH, path, 0);
    return path;
}

wxString VDXRDEVRAPI::GetDeviceID() { return wxString(); }
wxString VDXRDEVRAPI::GetCardID(const wxString&) { return wxString(); }
wxString VDXRDEVRAPI::GetMapVender() { return wxString(); }
wxString VDXRDEVRAPI::GetMapExtra() { return wxString(); }

wxString VDXRDEVRAPI::RemoteCall(const char*, const void*, std::uint32_t, ReplyKind)
{
    return wxString();
}

bool VDXRDEVRAPI::DeployLibrary()
{
    return false;
}
