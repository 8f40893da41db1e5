#include "device/vdxrdevcard.h"

#include "device/cardfiles.h"
#include "device/rapitext.h"
#include "device/transferends.h"

#include <wx/arrstr.h>
#include <wx/dir.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/tokenzr.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

namespace
{
const wxString kLicensePath = wxS("/Kelvo/license.db");

bool IsRooted(const wxString& path)
{
    return !path.empty() && path[0] == '/';
}

bool IsFolder(const wxString& local)
{
    return !local.empty() && wxDirExists(local);
}

bool IsFile(const wxString& local)
{
    return !local.empty() && wxFileExists(local);
}

bool IsUpperAscii(char16_t unit, char upper)
{
    return unit == static_cast<char16_t>(upper) ||
           unit == static_cast<char16_t>(upper - 'A' + 'a');
}
}

#ifdef __WINDOWS__
VDXRDEVCARD::VDXRDEVCARD(wxChar drive)
    : m_drive(drive)
#else
VDXRDEVCARD::VDXRDEVCARD(const wxString& root)
    : m_root(root)
#endif
{
    m_connected = false;
    m_transport = TRANSPORT_MEMORY_CARD;
    m_transferRules.openFailureNotifies = false;
    m_transferRules.localWriteError = DEVICE_ERR_READ;
    m_transferRules.memoryName = kMemoryNameCard;
    m_transferRules.largestMemoryRead = std::numeric_limits<std::uint64_t>::max();
}

VDXRDEVCARD::~VDXRDEVCARD()
{
    if (m_connected)
        Disconnect();
}

wxString VDXRDEVCARD::Root() const
{
#ifdef __WINDOWS__
    return wxString(m_drive) + ':';
#else
    wxString root = m_root;
    while (!root.empty() && root.Last() == '/')
        root.RemoveLast();
    return root;
#endif
}

wxString VDXRDEVCARD::MapPath(const wxString& path)
{
    ClearError();
    wxString mapped = path;
    if (!mapped.empty() && mapped[0] == '\\')
        mapped[0] = '/';
    if (!IsRooted(mapped))
    {
        SetError(DEVICE_ERR_BAD_PATH, path, 0);
        return wxString();
    }
#ifndef __WINDOWS__
    // A drive root cannot be left; neither can the card's mount point.
    mapped.Replace(wxS("\\"), wxS("/"));
    const wxArrayString parts = wxStringTokenize(mapped, wxS("/"), wxTOKEN_STRTOK);
    if (m_root.empty() || parts.Index(wxS("..")) != wxNOT_FOUND)
    {
        SetError(DEVICE_ERR_BAD_PATH, path, 0);
        return wxString();
    }
#endif
    return Root() + mapped;
}

bool VDXRDEVCARD::Connect()
{
    m_connected = false;
    ClearError();
#ifndef __WINDOWS__
    if (m_root.empty())
        return true;
#endif
    m_connected = wxDirExists(Root() + '/');
    return true;
}

bool VDXRDEVCARD::Disconnect()
{
    m_connected = false;
    ClearError();
    return true;
}

bool VDXRDEVCARD::DeleteFile(const wxString& path)
{
    ClearError();
    const wxString local = MapPath(path);
    wxLogNull noLog;
    return IsFile(local) && wxRemoveFile(local);
}

bool VDXRDEVCARD::Exists(const wxString& path)
{
    ClearError();
    const wxString local = MapPath(path);
    return IsFile(local) || IsFolder(local);
}

bool VDXRDEVCARD::DirExists(const wxString& path)
{
    return IsFolder(MapPath(path));
}

bool VDXRDEVCARD::FileExists(const wxString& path)
{
    return IsFile(MapPath(path));
}

bool VDXRDEVCARD::CreateDir(const wxString& path, bool recursive)
{
    ClearError();
    if (!IsRooted(path))
    {
        SetError(DEVICE_ERR_BAD_PATH, path, 0);
        return false;
    }
    const wxString local = MapPath(path);
    if (local.empty())
        return false;

    wxLogNull noLog;
    const bool made = wxFileName::Mkdir(local, wxS_DIR_DEFAULT, recursive ? wxPATH_MKDIR_FULL : 0);
    if (!made)
        SetError(DEVICE_ERR_MKDIR, path, 0);
    return made;
}

bool VDXRDEVCARD::ListDirs(const wxString& path, wxArrayString& names)
{
    names.clear();
    if (!DirExists(path))
        return false;
    wxLogNull noLog;
    wxDir dir(MapPath(path));
    wxString name;
    for (bool more = dir.IsOpened() && dir.GetFirst(&name, wxEmptyString, wxDIR_DIRS | wxDIR_HIDDEN);
         more; more = dir.GetNext(&name))
        names.push_back(name);
    return true;
}

bool VDXRDEVCARD::ListFiles(const wxString& path, wxArrayString& names)
{
    names.clear();
    if (!DirExists(path))
        return false;
    wxString folder = MapPath(path);
    wxLogNull noLog;
    wxDir dir(folder);
    while (!folder.empty() && folder.Last() == '/')
        folder.RemoveLast();
    wxString name;
    for (bool more = dir.IsOpened() && dir.GetFirst(&name, wxEmptyString, wxDIR_FILES);
         more; more = dir.GetNext(&name))
        names.push_back(folder + '/' + name);
    return true;
}

bool VDXRDEVCARD::StartTransfer()
{
    // The Remote API device's needs a provider; the card's does not.
    return VDXRDEV::StartTransfer();
}

bool VDXRDEVCARD::WriteFromMemory(const ByteVector& bytes, const wxString& path)
{
    // An empty vector makes an empty file, unlike on the Remote API device.
    StartTransfer();
    return MemoryToDevice(bytes, path);
}

std::unique_ptr<DeviceReader> VDXRDEVCARD::OpenReader(const wxString& path, std::int32_t&)
{
    auto reader = std::make_unique<CardReader>();
    if (!reader->Open(MapPath(path)))
        return nullptr;
    return reader;
}

std::unique_ptr<DeviceWriter> VDXRDEVCARD::OpenWriter(const wxString& path, std::int32_t&)
{
    // Even a plain write goes through the staged name: a failure leaves the
    // previous file as it was, and a crash leaves what the repair removes.
    auto writer = std::make_unique<CardWriter>();
    const wxString target = MapPath(path);
    if (target.empty() || !writer->Open(target, StagedPath(target), CardWriter::REPLACE_TARGET))
        return nullptr;
    return writer;
}

std::unique_ptr<DeviceWriter> VDXRDEVCARD::OpenStagedWriter(const wxString& path, std::int32_t&)
{
    auto writer = std::make_unique<CardWriter>();
    const wxString target = MapPath(path);
    if (target.empty() || !writer->Open(target, StagedPath(target), CardWriter::KEEP_STAGED))
        return nullptr;
    return writer;
}

std::unique_ptr<DeviceReader> VDXRDEVCARD::OpenVerifyReader(const wxString& stagedPath,
                                                            std::int32_t&)
{
    auto reader = std::make_unique<CardVerifyReader>();
    if (!reader->Open(MapPath(stagedPath)))
        return nullptr;
    return reader;
}

bool VDXRDEVCARD::MoveDeviceFile(const wxString& from, const wxString& to,
                                 std::int32_t& systemError)
{
    // The card's record never carries a system error number.
    systemError = 0;
    wxLogNull noLog;
    const wxString source = MapPath(from);
    const wxString target = MapPath(to);
    return !source.empty() && !target.empty() && IsFile(source) && !wxFileExists(target)
           && !wxDirExists(target) && MoveCardFile(source, target);
}

bool VDXRDEVCARD::CanStage()
{
    return true;
}

bool VDXRDEVCARD::GetFreeSpace(const wxString& folder, std::uint64_t& freeBytes)
{
    const wxString local = MapPath(folder);
    freeBytes = 0;
    if (local.empty())
        return false;
    if (!CardFreeSpace(local, freeBytes))
    {
        SetError(DEVICE_ERR_FREE_SPACE, folder, 0);
        return false;
    }
    return true;
}

wxString VDXRDEVCARD::GetDeviceID()
{
    SetError(DEVICE_ERR_UNSUPPORTED, wxS("VDXRDEVCARD::GetDeviceID"), 0);
    return wxString();
}

wxString VDXRDEVCARD::GetCardID(const wxString&)
{
    SetError(DEVICE_ERR_UNSUPPORTED, wxS("VDXRDEVCARD::GetCardID"), 0);
    return wxString();
}

wxString VDXRDEVCARD::GetMapVender()
{
    SetError(DEVICE_ERR_UNSUPPORTED, wxS("VDXRDEVCARD::GetMapVender"), 0);
    return wxString();
}

wxString VDXRDEVCARD::GetMapExtra()
{
    if (!FileExists(kLicensePath))
        return wxString();

    wxLogNull noLog;
    wxFile in;
    if (!OpenFileForReading(in, MapPath(kLicensePath)))
        return wxString();
    const wxFileOffset length = in.Length();
    if (length <= 0 || static_cast<std::uint64_t>(length) > SIZE_MAX)
        return wxString();

    std::vector<unsigned char> bytes;
    try
    {
        bytes.resize(static_cast<std::size_t>(length));
    }
    catch (const std::bad_alloc&)
    {
        return wxString();
    }
    std::size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t got = in.Read(bytes.data() + done, std::min(kCardReadChunk, bytes.size() - done));
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return ExtractMapExtra(bytes.data(), done);
}

bool VDXRDEVCARD::FindMapExtra(const char16_t* units, std::size_t count,
                               std::size_t& begin, std::size_t& end)
{
    for (std::size_t i = 0; count >= 5 && i <= count - 5; ++i)
    {
        if (units[i] != 'K' || !IsUpperAscii(units[i + 1], 'E') ||
            !IsUpperAscii(units[i + 2], 'L') || !IsUpperAscii(units[i + 3], 'V') ||
            !IsUpperAscii(units[i + 4], 'O'))
            continue;
        begin = i;
        end = i + 5;
        while (end < count && units[end] != 0)
            ++end;
        return true;
    }
    return false;
}

wxString VDXRDEVCARD::ExtractMapExtra(const unsigned char* data, std::size_t size)
{
    const std::size_t count = size / 2;
    if (!data || count == 0)
        return wxString();
    std::u16string units(count, u'\0');
    for (std::size_t i = 0; i < count; ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));

    std::size_t begin = 0;
    std::size_t end = 0;
    if (!FindMapExtra(units.data(), count, begin, end))
        return wxString();
    return FromDeviceText(units.data() + begin, end - begin);
}
