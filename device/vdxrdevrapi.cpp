#include "device/vdxrdevrapi.h"

#include "device/rapibinding.h"
#include "device/rapitext.h"
#include "devicelib/devicelibraryimage.h"

#include <wx/arrstr.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/log.h>
#include <wx/tokenzr.h>

#include <limits>
#include <new>

const wxChar* const DEVICE_LIBRARY_PATH = wxS("/windows/vdxrapi.dll");

namespace
{
// Largest piece one Remote API call or one local read moves.
const rapi::DWORD TRANSFER_CHUNK = 10240;
// How long one Connect waits for the link.
const unsigned LINK_WAIT_MS = 100;
// Writes in a row that the device reports done with 0 bytes before an
// upload is given up; the transfer must not spin on a stuck device.
const int ZERO_WRITES_ALLOWED = 3;
// A file larger than this is not read into memory (the device reports the
// size; a broken reply must not make the program allocate without end).
const std::uint64_t LARGEST_MEMORY_READ = std::numeric_limits<std::int32_t>::max();

bool Succeeded(rapi::HRESULT result)
{
    return result >= 0;
}
}

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

bool VDXRDEVRAPI::BindEntryPoints()
{
    ForgetEntryPoints();
    // Every name is looked up, in this order, and every one is required.
    bool all = BindRapiEntry(m_rapi, "CeRapiInitEx", m_ceRapiInitEx);
    all = BindRapiEntry(m_rapi, "CeRapiUninit", m_ceRapiUninit) && all;
    all = BindRapiEntry(m_rapi, "CeGetLastError", m_ceGetLastError) && all;
    all = BindRapiEntry(m_rapi, "CeRapiGetError", m_ceRapiGetError) && all;
    all = BindRapiEntry(m_rapi, "CeRapiInvoke", m_ceRapiInvoke) && all;
    all = BindRapiEntry(m_rapi, "CeFindFirstFile", m_ceFindFirstFile) && all;
    all = BindRapiEntry(m_rapi, "CeFindNextFile", m_ceFindNextFile) && all;
    all = BindRapiEntry(m_rapi, "CeFindClose", m_ceFindClose) && all;
    all = BindRapiEntry(m_rapi, "CeCreateFile", m_ceCreateFile) && all;
    all = BindRapiEntry(m_rapi, "CeReadFile", m_ceReadFile) && all;
    all = BindRapiEntry(m_rapi, "CeWriteFile", m_ceWriteFile) && all;
    all = BindRapiEntry(m_rapi, "CeGetFileSize", m_ceGetFileSize) && all;
    all = BindRapiEntry(m_rapi, "CeSetFilePointer", m_ceSetFilePointer) && all;
    all = BindRapiEntry(m_rapi, "CeSetFileAttributes", m_ceSetFileAttributes) && all;
    all = BindRapiEntry(m_rapi, "CeGetFileAttributes", m_ceGetFileAttributes) && all;
    all = BindRapiEntry(m_rapi, "CeDeleteFile", m_ceDeleteFile) && all;
    all = BindRapiEntry(m_rapi, "CeCloseHandle", m_ceCloseHandle) && all;
    all = BindRapiEntry(m_rapi, "CeCreateDirectory", m_ceCreateDirectory) && all;
    all = BindRapiEntry(m_rapi, "CeRemoveDirectory", m_ceRemoveDirectory) && all;
    m_releaseReply = BindReplyRelease(m_rapi);
    return all && m_releaseReply;
}

bool VDXRDEVRAPI::IsBound()
{
    if (m_ceRapiInitEx && m_releaseReply)
        return true;
    // Operations are meant for a connected device; without a provider they
    // fail instead of calling through nothing.
    SetError(DEVICE_ERR_RAPI_ENTRY, wxString(), 0);
    return false;
}

std::int32_t VDXRDEVRAPI::LastDeviceError() const
{
    return m_ceGetLastError ? static_cast<std::int32_t>(m_ceGetLastError()) : 0;
}

bool VDXRDEVRAPI::Connect()
{
    m_connected = false;
    ClearError();

    if (!m_rapi.IsLoaded())
    {
        const wxString name = RapiLibraryName();
        if (!LoadRapiLibrary(m_rapi, name))
        {
            SetError(DEVICE_ERR_NO_RAPI, name, 0);
            return false;
        }
    }
    if (!BindEntryPoints())
    {
        SetError(DEVICE_ERR_RAPI_ENTRY, wxString(), 0);
        ForgetEntryPoints();
        m_rapi.Unload();
        return false;
    }

    rapi::RAPIINIT init;
    init.cbSize = sizeof init;
    init.heRapiInit = nullptr;
    init.hrRapiInit = rapi::CE_E_FAIL;
    // Every attempt that does not end connected is ended with CeRapiUninit,
    // a refused one included, so no half-begun initialisation outlives it.
    const rapi::HRESULT result = m_ceRapiInitEx(&init);
    if (result == 0 && WaitRapiEvent(init.heRapiInit, LINK_WAIT_MS)
        && Succeeded(init.hrRapiInit))
    {
        m_connected = true;
        return true;
    }
    m_ceRapiUninit();
    return false;
}

bool VDXRDEVRAPI::Disconnect()
{
    if (m_rapi.IsLoaded())
    {
        if (m_ceRapiUninit)
            m_ceRapiUninit();
        m_rapi.Unload();
    }
    ForgetEntryPoints();
    m_connected = false;
    ClearError();
    return true;
}

wxString VDXRDEVRAPI::MapPath(const wxString& path)
{
    ClearError();
    // The device takes "/" and the backslash alike; a path in its own form
    // still works and is only marked.
    if (path.empty() || path[0] != '/')
        SetError(DEVICE_ERR_BAD_PATH, path, 0);
    return path;
}

rapi::DWORD VDXRDEVRAPI::Attributes(const wxString& path)
{
    const std::u16string device = ToRapiText(path);
    return m_ceGetFileAttributes(device.c_str());
}

bool VDXRDEVRAPI::Exists(const wxString& path)
{
    ClearError();
    if (!IsBound())
        return false;
    return Attributes(MapPath(path)) != rapi::CE_NO_ATTRIBUTES;
}

bool VDXRDEVRAPI::DirExists(const wxString& path)
{
    if (!m_ceGetFileAttributes)
        return false;
    const rapi::DWORD attributes = Attributes(path);
    return attributes != rapi::CE_NO_ATTRIBUTES
           && (attributes & rapi::CE_FILE_ATTRIBUTE_DIRECTORY);
}

bool VDXRDEVRAPI::FileExists(const wxString& path)
{
    if (!m_ceGetFileAttributes)
        return false;
    const rapi::DWORD attributes = Attributes(path);
    return attributes != rapi::CE_NO_ATTRIBUTES
           && !(attributes & rapi::CE_FILE_ATTRIBUTE_DIRECTORY);
}

bool VDXRDEVRAPI::DeleteFile(const wxString& path)
{
    ClearError();
    if (!IsBound())
        return false;
    const std::u16string device = ToRapiText(MapPath(path));
    return m_ceDeleteFile(device.c_str()) != 0;
}

bool VDXRDEVRAPI::MakeFolder(const wxString& path)
{
    const std::u16string device = ToRapiText(MapPath(path));
    if (m_ceCreateDirectory(device.c_str(), nullptr))
        return true;
    SetError(DEVICE_ERR_MKDIR, path, LastDeviceError());
    return false;
}

bool VDXRDEVRAPI::CreateDir(const wxString& path, bool recursive)
{
    ClearError();
    if (path.empty() || path[0] != '/')
    {
        SetError(DEVICE_ERR_BAD_PATH, path, 0);
        return false;
    }
    if (!IsBound())
        return false;
    if (!recursive)
        return MakeFolder(path);

    // A folder that exists already at every level is reported as false,
    // with the record cleared: nothing was created.
    bool created = false;
    wxString level;
    const wxArrayString parts = wxStringTokenize(path, wxS("/"), wxTOKEN_STRTOK);
    for (const wxString& part : parts)
    {
        level << '/' << part;
        if (Exists(level))
            continue;
        if (!MakeFolder(level))
            return false;
        created = true;
    }
    return created;
}

bool VDXRDEVRAPI::ListEntries(const wxString& path, wxArrayString& names, bool folders)
{
    names.clear();
    if (!DirExists(path))
        return false;

    const std::u16string pattern = ToRapiText(path + wxS("\\*"));
    rapi::CE_FIND_DATA entry;
    rapi::HANDLE search = m_ceFindFirstFile(pattern.c_str(), &entry);
    if (search == rapi::CeInvalidHandle())
        return true;
    do
    {
        std::size_t length = 0;
        while (length < static_cast<std::size_t>(rapi::CE_MAX_PATH) && entry.cFileName[length])
            ++length;
        const wxString name = FromRapiText(entry.cFileName, length);
        const bool isFolder = (entry.dwFileAttributes & rapi::CE_FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (folders && isFolder && name != wxS(".") && name != wxS(".."))
            names.push_back(name);
        else if (!folders && !isFolder)
            names.push_back(name);
    } while (m_ceFindNextFile(search, &entry));
    m_ceFindClose(search);
    return true;
}

bool VDXRDEVRAPI::ListDirs(const wxString& path, wxArrayString& names)
{
    return ListEntries(path, names, true);
}

bool VDXRDEVRAPI::ListFiles(const wxString& path, wxArrayString& names)
{
    return ListEntries(path, names, false);
}

rapi::HANDLE VDXRDEVRAPI::OpenDeviceFile(const wxString& path, bool forWriting)
{
    const std::u16string device = ToRapiText(MapPath(path));
    return m_ceCreateFile(device.c_str(),
                          forWriting ? rapi::CE_GENERIC_WRITE : rapi::CE_GENERIC_READ, 0, nullptr,
                          forWriting ? rapi::CE_CREATE_ALWAYS : rapi::CE_OPEN_EXISTING, 0, nullptr);
}

std::uint64_t VDXRDEVRAPI::DeviceFileSize(rapi::HANDLE file)
{
    rapi::DWORD high = 0;
    const rapi::DWORD low = m_ceGetFileSize(file, &high);
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

void VDXRDEVRAPI::FailUpload(rapi::HANDLE file, const wxString& path, std::int32_t code,
                             const wxString& text, std::int32_t systemError)
{
    // A failed upload never leaves a partial file on the device.
    m_ceCloseHandle(file);
    DeleteFile(path);
    SetError(code, text, systemError);
    NotifyFailed();
}

bool VDXRDEVRAPI::CopyToDevice(const wxString& localPath, const wxString& path)
{
    ClearError();
    NotifyStarted();
    if (!IsBound())
    {
        NotifyFailed();
        return false;
    }

    wxLogNull noLog;
    wxFile local;
    if (!wxFileExists(localPath) || !local.Open(localPath, wxFile::read))
    {
        return FailTransfer(DEVICE_ERR_LOCAL_OPEN, SourceText(localPath), 0);
    }
    rapi::HANDLE file = OpenDeviceFile(path, true);
    if (file == rapi::CeInvalidHandle())
    {
        SetError(DEVICE_ERR_OPEN, DestinationText(path), LastDeviceError());
        local.Close();
        NotifyFailed();
        return false;
    }

    const wxFileOffset length = local.Length();
    if (length == wxInvalidOffset)
    {
        FailUpload(file, path, DEVICE_ERR_READ, SourceText(localPath), 0);
        return false;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(length);
    ClearError();
    NotifyProgress(0);
    if (size == 0)
    {
        m_ceCloseHandle(file);
        local.Close();
        return FinishTransfer();
    }

    std::vector<unsigned char> chunk(TRANSFER_CHUNK);
    std::uint64_t done = 0;
    while (done <= size)
    {
        const ssize_t read = local.Read(chunk.data(), chunk.size());
        if (read == wxInvalidOffset)
        {
            // The local file became unreadable after it was opened.
            FailUpload(file, path, DEVICE_ERR_READ, SourceText(localPath), 0);
            return false;
        }
        if (read == 0)
            break;
        const rapi::DWORD wanted = static_cast<rapi::DWORD>(read);
        rapi::DWORD written = 0;
        if (!m_ceWriteFile(file, chunk.data(), wanted, &written, nullptr))
        {
            const std::int32_t error = LastDeviceError();
            FailUpload(file, path, DEVICE_ERR_WRITE, DestinationText(path), error);
            return false;
        }
        if (written > wanted)
        {
            FailUpload(file, path, DEVICE_ERR_WRITE, DestinationText(path), 0);
            return false;
        }
        done += written;
        NotifyProgress(TransferPercent(done, size));
        // A short write (0 bytes included) ends the transfer; the count
        // check below then fails it.
        if (written < wanted)
            break;
    }
    if (done != size)
    {
        FailUpload(file, path, DEVICE_ERR_WRITE, DestinationText(path), 0);
        return false;
    }
    m_ceCloseHandle(file);
    local.Close();
    return FinishTransfer();
}

bool VDXRDEVRAPI::CopyFromDevice(const wxString& path, const wxString& localPath)
{
    ClearError();
    NotifyStarted();
    if (!IsBound())
    {
        NotifyFailed();
        return false;
    }

    rapi::HANDLE file = OpenDeviceFile(path, false);
    if (file == rapi::CeInvalidHandle())
    {
        return FailTransfer(DEVICE_ERR_OPEN, SourceText(path), LastDeviceError());
    }
    wxLogNull noLog;
    wxFile local;
    if (!local.Open(localPath, wxFile::write))
    {
        m_ceCloseHandle(file);
        return FailTransfer(DEVICE_ERR_LOCAL_OPEN, DestinationText(localPath), 0);
    }

    const std::uint64_t size = DeviceFileSize(file);
    ClearError();
    NotifyProgress(0);
    if (size == 0)
    {
        m_ceCloseHandle(file);
        local.Close();
        return FinishTransfer();
    }

    std::vector<unsigned char> chunk(TRANSFER_CHUNK);
    std::uint64_t done = 0;
    bool failed = false;
    while (done <= size)
    {
        rapi::DWORD read = 0;
        if (!m_ceReadFile(file, chunk.data(), TRANSFER_CHUNK, &read, nullptr))
        {
            SetError(DEVICE_ERR_READ, SourceText(path), LastDeviceError());
            failed = true;
            break;
        }
        if (read > TRANSFER_CHUNK)
        {
            SetError(DEVICE_ERR_READ, SourceText(path), 0);
            failed = true;
            break;
        }
        if (read == 0)
            break;
        if (local.Write(chunk.data(), read) != read)
        {
            SetError(DEVICE_ERR_LOCAL_WRITE, DestinationText(localPath), 0);
            failed = true;
            break;
        }
        done += read;
        NotifyProgress(TransferPercent(done, size));
    }
    m_ceCloseHandle(file);
    local.Close();
    if (!failed && done != size)
    {
        SetError(DEVICE_ERR_READ, DestinationText(localPath), 0);
        failed = true;
    }
    return EndDownload(failed, localPath);
}

bool VDXRDEVRAPI::ReadToMemory(const wxString& path, std::vector<unsigned char>& bytes)
{
    ClearError();
    NotifyStarted();
    if (!IsBound())
    {
        NotifyFailed();
        bytes.clear();
        return false;
    }

    rapi::HANDLE file = OpenDeviceFile(path, false);
    if (file == rapi::CeInvalidHandle())
    {
        SetError(DEVICE_ERR_OPEN, SourceText(path), LastDeviceError());
        NotifyFailed();
        bytes.clear();
        return false;
    }

    const std::uint64_t size = DeviceFileSize(file);
    ClearError();
    NotifyProgress(0);
    if (size == 0)
    {
        m_ceCloseHandle(file);
        NotifyProgress(100);
        NotifyFinished();
        bytes.clear();
        return true;
    }

    bool failed = size > LARGEST_MEMORY_READ;
    if (!failed)
    {
        try
        {
            bytes.assign(static_cast<std::size_t>(size), 0);
        }
        catch (const std::bad_alloc&)
        {
            failed = true;
        }
    }
    if (failed)
    {
        m_ceCloseHandle(file);
        SetError(DEVICE_ERR_READ, DestinationText(DEVICE_MEMORY_NAME_RAPI), 0);
        NotifyFailed();
        bytes.clear();
        return false;
    }

    std::uint64_t done = 0;
    while (done < size)
    {
        const std::uint64_t room = size - done;
        const rapi::DWORD wanted = room < TRANSFER_CHUNK ? static_cast<rapi::DWORD>(room)
                                                         : TRANSFER_CHUNK;
        rapi::DWORD read = 0;
        if (!m_ceReadFile(file, bytes.data() + done, wanted, &read, nullptr) || read > wanted)
        {
            SetError(DEVICE_ERR_READ, SourceText(path), read > wanted ? 0 : LastDeviceError());
            m_ceCloseHandle(file);
            NotifyFailed();
            bytes.clear();
            return false;
        }
        if (read == 0)
            break;
        done += read;
        NotifyProgress(TransferPercent(done, size));
    }
    m_ceCloseHandle(file);
    if (done != size)
    {
        SetError(DEVICE_ERR_READ, DestinationText(DEVICE_MEMORY_NAME_RAPI), 0);
        NotifyFailed();
        bytes.clear();
        return false;
    }
    return FinishTransfer();
}

bool VDXRDEVRAPI::WriteFromMemory(const std::vector<unsigned char>& bytes, const wxString& path)
{
    ClearError();
    NotifyStarted();
    // Nothing to write leaves the device file as it is.
    if (bytes.empty())
        return true;
    if (!IsBound())
    {
        NotifyFailed();
        return false;
    }

    rapi::HANDLE file = OpenDeviceFile(path, true);
    if (file == rapi::CeInvalidHandle())
    {
        return FailTransfer(DEVICE_ERR_OPEN, DestinationText(path), LastDeviceError());
    }

    NotifyProgress(0);
    const std::uint64_t size = bytes.size();
    std::uint64_t done = 0;
    int zeroWrites = 0;
    while (done < size)
    {
        const std::uint64_t left = size - done;
        const rapi::DWORD wanted = left < TRANSFER_CHUNK ? static_cast<rapi::DWORD>(left)
                                                         : TRANSFER_CHUNK;
        rapi::DWORD written = 0;
        if (!m_ceWriteFile(file, bytes.data() + done, wanted, &written, nullptr))
        {
            const std::int32_t error = LastDeviceError();
            FailUpload(file, path, DEVICE_ERR_WRITE, DestinationText(path), error);
            return false;
        }
        if (written > wanted || (written == 0 && ++zeroWrites >= ZERO_WRITES_ALLOWED))
        {
            FailUpload(file, path, DEVICE_ERR_WRITE, DestinationText(path), 0);
            return false;
        }
        if (written == 0)
            continue;
        zeroWrites = 0;
        done += written;
        NotifyProgress(TransferPercent(done, size));
    }
    m_ceCloseHandle(file);
    return FinishTransfer();
}

bool VDXRDEVRAPI::WriteBytes(const void* data, const wxString& path, std::uint32_t length)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    std::vector<unsigned char> copy;
    if (bytes && length)
        copy.assign(bytes, bytes + length);
    return WriteFromMemory(copy, path);
}

bool VDXRDEVRAPI::DeployLibrary()
{
    return WriteBytes(g_deviceLibraryImage, DEVICE_LIBRARY_PATH, g_deviceLibraryImageSize);
}

wxString VDXRDEVRAPI::RemoteCall(const char* function, const void* input,
                                 std::uint32_t inputSize, ReplyKind kind)
{
    if (!DeployLibrary())
        return wxString();
    ClearError();
    if (!IsBound())
        return wxString();

    const std::u16string library = ToRapiText(DEVICE_LIBRARY_PATH);
    const std::u16string name = ToRapiText(wxString::FromAscii(function));
    const unsigned char* inputBytes = static_cast<const unsigned char*>(input);
    std::vector<rapi::BYTE> inputCopy;
    if (inputBytes && inputSize)
        inputCopy.assign(inputBytes, inputBytes + inputSize);

    rapi::DWORD replySize = 0;
    rapi::BYTE* reply = nullptr;
    const rapi::HRESULT result = m_ceRapiInvoke(
        library.c_str(), name.c_str(), static_cast<rapi::DWORD>(inputCopy.size()),
        inputCopy.empty() ? nullptr : inputCopy.data(), &replySize, &reply, nullptr, 0);
    if (result != 0)
    {
        const std::int32_t error = LastDeviceError();
        if (reply)
            m_releaseReply(reply);
        SetError(DEVICE_ERR_INVOKE, wxString(), error);
        return wxString();
    }

    wxString text;
    const bool usable = kind == REPLY_NARROW_TEXT ? DecodeNarrowReply(reply, replySize, text)
                                                  : DecodeWideReply(reply, replySize, text);
    if (reply)
        m_releaseReply(reply);
    if (!usable)
    {
        SetError(DEVICE_ERR_REPLY, wxString(), 0);
        return wxString();
    }
    return text;
}

wxString VDXRDEVRAPI::GetDeviceID()
{
    return RemoteCall("VDXGetDeviceID", nullptr, 0, REPLY_NARROW_TEXT);
}

wxString VDXRDEVRAPI::GetCardID(const wxString& mountFolder)
{
    // The folder as UTF-16 with its terminating zero, little-endian as the
    // device reads it.
    const std::u16string units = ToRapiText(mountFolder);
    std::vector<unsigned char> input;
    input.reserve((units.size() + 1) * 2);
    for (char16_t unit : units)
    {
        input.push_back(static_cast<unsigned char>(unit & 0xFF));
        input.push_back(static_cast<unsigned char>(unit >> 8));
    }
    input.push_back(0);
    input.push_back(0);
    return RemoteCall("VDXGetCardID", input.data(), static_cast<std::uint32_t>(input.size()),
                      REPLY_NARROW_TEXT);
}

wxString VDXRDEVRAPI::GetMapVender()
{
    return RemoteCall("VDXGetMapVender", nullptr, 0, REPLY_WIDE_TEXT);
}

wxString VDXRDEVRAPI::GetMapExtra()
{
    return RemoteCall("VDXGetMapExtra", nullptr, 0, REPLY_WIDE_TEXT);
}
