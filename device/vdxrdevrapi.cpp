#include "device/vdxrdevrapi.h"

#include "device/devicedefs.h"
#include "device/rapibinding.h"
#include "device/rapitext.h"
#include "device/transferends.h"
#include "devicelib/devicelibraryimage.h"

#include <wx/arrstr.h>
#include <wx/tokenzr.h>

#include <cstring>

const wxChar* const DEVICE_LIBRARY_PATH = wxS("/windows/vdxrapi.dll");

namespace
{
// How long one Connect waits for the link.
const unsigned kLinkWaitMs = 100;

bool Succeeded(rapi::HRESULT result)
{
    return result >= 0;
}
}

VDXRDEVRAPI::VDXRDEVRAPI() : m_init(), m_initPending(false)
{
    ForgetEntryPoints();
    m_transport = TRANSPORT_ACTIVESYNC;
}

VDXRDEVRAPI::~VDXRDEVRAPI()
{
    // A connection given up still has its initialisation pending.
    if (m_connected || m_initPending)
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
    m_ceMoveFile = nullptr;
    m_ceGetDiskFreeSpaceEx = nullptr;
    m_releaseReply = nullptr;
    m_allocateInput = nullptr;
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
    m_allocateInput = BindInputAllocation(m_rapi);
    // Optional, as not every provider exports them.
    BindRapiEntry(m_rapi, "CeMoveFile", m_ceMoveFile);
    BindRapiEntry(m_rapi, "CeGetDiskFreeSpaceEx", m_ceGetDiskFreeSpaceEx);
    return all && m_releaseReply && m_allocateInput;
}

bool VDXRDEVRAPI::IsBound()
{
    if (m_ceRapiInitEx && m_releaseReply && m_allocateInput)
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
    // One initialisation at a time: a connection made before is ended.
    if (m_connected)
        EndInitialisation();
    m_connected = false;
    ClearError();

    if (!m_initPending && !BeginInitialisation())
        return false;
    // Every attempt waits on the same initialisation: a link that takes
    // longer than one wait comes up in a later attempt, which a new
    // initialisation each time would never let it do.
    switch (WaitRapiEvent(m_init.heRapiInit, kLinkWaitMs))
    {
    case RapiWait::kTimedOut:
        return false;
    case RapiWait::kSignalled:
        if (!Succeeded(m_init.hrRapiInit))
            break;
        m_initPending = false;
        m_connected = true;
        return true;
    case RapiWait::kFailed:
        break;
    }
    // The link failed: the next attempt starts afresh.
    EndInitialisation();
    return false;
}

bool VDXRDEVRAPI::BeginInitialisation()
{
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

    m_init.cbSize = sizeof m_init;
    m_init.heRapiInit = nullptr;
    m_init.hrRapiInit = rapi::CE_E_FAIL;
    // A refused initialisation is ended at once as well, so none that was
    // half begun outlives its attempt.
    if (m_ceRapiInitEx(&m_init) != 0)
    {
        m_ceRapiUninit();
        return false;
    }
    m_initPending = true;
    return true;
}

void VDXRDEVRAPI::EndInitialisation()
{
    m_initPending = false;
    m_connected = false;
    if (m_ceRapiUninit)
        m_ceRapiUninit();
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
    m_initPending = false;
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
    const std::u16string device = ToDeviceText(path);
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
    const std::u16string device = ToDeviceText(MapPath(path));
    return m_ceDeleteFile(device.c_str()) != 0;
}

bool VDXRDEVRAPI::MakeFolder(const wxString& path)
{
    const std::u16string device = ToDeviceText(MapPath(path));
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

    const std::u16string pattern = ToDeviceText(path + wxS("\\*"));
    rapi::CE_FIND_DATA entry;
    rapi::HANDLE search = m_ceFindFirstFile(pattern.c_str(), &entry);
    if (search == rapi::CeInvalidHandle())
        return true;
    do
    {
        std::size_t length = 0;
        while (length < static_cast<std::size_t>(rapi::CE_MAX_PATH) && entry.cFileName[length])
            ++length;
        const wxString name = FromDeviceText(entry.cFileName, length);
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
    const std::u16string device = ToDeviceText(MapPath(path));
    return m_ceCreateFile(device.c_str(),
                          forWriting ? rapi::CE_GENERIC_WRITE : rapi::CE_GENERIC_READ, 0, nullptr,
                          forWriting ? rapi::CE_CREATE_ALWAYS : rapi::CE_OPEN_EXISTING, 0, nullptr);
}

// A device file of the Remote API, read or written one chunk per call.
class VDXRDEVRAPI::FileEnd
{
public:
    FileEnd(VDXRDEVRAPI& device, rapi::HANDLE file) : m_device(device), m_file(file) {}
    ~FileEnd() { CloseFile(); }
    FileEnd(const FileEnd&) = delete;
    FileEnd& operator=(const FileEnd&) = delete;

protected:
    void CloseFile()
    {
        if (m_file != rapi::CeInvalidHandle())
            m_device.m_ceCloseHandle(m_file);
        m_file = rapi::CeInvalidHandle();
    }

    VDXRDEVRAPI& m_device;
    rapi::HANDLE m_file;
};

class VDXRDEVRAPI::FileReader final : public DeviceReader, private FileEnd
{
public:
    using FileEnd::FileEnd;
    std::size_t LargestRead() const override { return kTransferChunk; }
    bool Size(std::uint64_t& size) override
    {
        rapi::DWORD high = 0;
        const rapi::DWORD low = m_device.m_ceGetFileSize(m_file, &high);
        size = (static_cast<std::uint64_t>(high) << 32) | low;
        return true;
    }
    bool Read(unsigned char* data, std::size_t size, std::size_t& read,
              std::int32_t& systemError) override
    {
        rapi::DWORD done = 0;
        if (!m_device.m_ceReadFile(m_file, data, static_cast<rapi::DWORD>(size), &done, nullptr))
        {
            systemError = m_device.LastDeviceError();
            return false;
        }
        read = done;
        return true;
    }
    void Close() override { CloseFile(); }
};

class VDXRDEVRAPI::FileWriter final : public DeviceWriter, private FileEnd
{
public:
    FileWriter(VDXRDEVRAPI& device, rapi::HANDLE file, const wxString& path)
        : FileEnd(device, file), m_path(path)
    {
    }
    std::size_t LargestWrite() const override { return kTransferChunk; }
    bool Write(const unsigned char* data, std::size_t size, std::size_t& written,
               std::int32_t& systemError) override
    {
        rapi::DWORD done = 0;
        if (!m_device.m_ceWriteFile(m_file, data, static_cast<rapi::DWORD>(size), &done, nullptr))
        {
            systemError = m_device.LastDeviceError();
            return false;
        }
        written = done;
        return true;
    }
    bool Finish(std::int32_t&) override
    {
        CloseFile();
        return true;
    }
    void Discard() override
    {
        // A failed upload never leaves a partial file on the device.
        CloseFile();
        m_device.DeleteFile(m_path);
    }

private:
    wxString m_path;
};

std::unique_ptr<DeviceReader> VDXRDEVRAPI::OpenReader(const wxString& path,
                                                      std::int32_t& systemError)
{
    const rapi::HANDLE file = OpenDeviceFile(path, false);
    if (file == rapi::CeInvalidHandle())
    {
        systemError = LastDeviceError();
        return nullptr;
    }
    return std::make_unique<FileReader>(*this, file);
}

std::unique_ptr<DeviceWriter> VDXRDEVRAPI::OpenWriter(const wxString& path,
                                                      std::int32_t& systemError)
{
    const rapi::HANDLE file = OpenDeviceFile(path, true);
    if (file == rapi::CeInvalidHandle())
    {
        systemError = LastDeviceError();
        return nullptr;
    }
    return std::make_unique<FileWriter>(*this, file, path);
}

bool VDXRDEVRAPI::StartTransfer()
{
    ClearError();
    NotifyStarted();
    if (IsBound())
        return true;
    NotifyFailed();
    return false;
}

bool VDXRDEVRAPI::CopyToDevice(const wxString& localPath, const wxString& path)
{
    return StartTransfer() && FileToDevice(localPath, path);
}

bool VDXRDEVRAPI::CopyFromDevice(const wxString& path, const wxString& localPath)
{
    return StartTransfer() && DeviceToFile(path, localPath);
}

bool VDXRDEVRAPI::ReadToMemory(const wxString& path, ByteVector& bytes)
{
    if (StartTransfer())
        return DeviceToMemory(path, bytes);
    bytes.clear();
    return false;
}

bool VDXRDEVRAPI::WriteFromMemory(const ByteVector& bytes, const wxString& path)
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
    return MemoryToDevice(bytes, path);
}

bool VDXRDEVRAPI::CanStage()
{
    return m_ceMoveFile != nullptr && m_ceRapiInitEx != nullptr;
}

bool VDXRDEVRAPI::MoveDeviceFile(const wxString& from, const wxString& to,
                                 std::int32_t& systemError)
{
    systemError = 0;
    if (!m_ceMoveFile)
        return false;
    const std::u16string source = ToDeviceText(MapPath(from));
    const std::u16string target = ToDeviceText(MapPath(to));
    if (m_ceMoveFile(source.c_str(), target.c_str()))
        return true;
    systemError = LastDeviceError();
    return false;
}

bool VDXRDEVRAPI::GetFreeSpace(const wxString& folder, std::uint64_t& freeBytes)
{
    ClearError();
    freeBytes = 0;
    if (!IsBound())
        return false;
    if (!m_ceGetDiskFreeSpaceEx)
    {
        SetError(DEVICE_ERR_UNSUPPORTED, wxS("CeGetDiskFreeSpaceEx"), 0);
        return false;
    }
    const std::u16string device = ToDeviceText(MapPath(folder));
    std::uint64_t available = 0;
    std::uint64_t total = 0;
    std::uint64_t totalFree = 0;
    if (!m_ceGetDiskFreeSpaceEx(device.c_str(), &available, &total, &totalFree))
    {
        SetError(DEVICE_ERR_FREE_SPACE, folder, LastDeviceError());
        return false;
    }
    freeBytes = available;
    return true;
}

bool VDXRDEVRAPI::WriteBytes(const void* data, const wxString& path, std::uint32_t length)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    ByteVector copy;
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

    const std::u16string library = ToDeviceText(DEVICE_LIBRARY_PATH);
    const std::u16string name = ToDeviceText(wxString::FromAscii(function));
    // The Remote API releases the input with LocalFree once it has it, so
    // the input must come from LocalAlloc, and is not the program's after
    // the call.
    rapi::BYTE* inputCopy = nullptr;
    if (input && inputSize)
    {
        inputCopy = static_cast<rapi::BYTE*>(m_allocateInput(rapi::CE_LMEM_FIXED, inputSize));
        if (!inputCopy)
        {
            SetError(DEVICE_ERR_INVOKE, wxString(), 0);
            return wxString();
        }
        std::memcpy(inputCopy, input, inputSize);
    }

    rapi::DWORD replySize = 0;
    rapi::BYTE* reply = nullptr;
    const rapi::HRESULT result = m_ceRapiInvoke(
        library.c_str(), name.c_str(), inputCopy ? inputSize : 0, inputCopy, &replySize, &reply,
        nullptr, 0);
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
    const std::u16string units = ToDeviceText(mountFolder);
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
