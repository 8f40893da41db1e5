#include "device/vdxrdevcard.h"

#include "device/atomicfilewriter.h"

#include <wx/arrstr.h>
#include <wx/dir.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/tokenzr.h>

#ifdef __linux__
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

namespace
{
const wxString LICENSE_PATH = wxS("/Kelvo/license.db");
const wxString MEMORY_NAME = DEVICE_MEMORY_NAME_CARD;

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

// Opens a card or local file for reading; folders are refused here because
// the system would open them and only fail at the first read.
bool OpenForReading(wxFile& file, const wxString& local)
{
    return IsFile(local) && file.Open(local, wxFile::read);
}

bool IsUpperAscii(std::uint16_t unit, char upper)
{
    return unit == static_cast<std::uint16_t>(upper) ||
           unit == static_cast<std::uint16_t>(upper - 'A' + 'a');
}

// Makes room for size bytes in an emptied vector. A new large buffer is
// offered huge pages first: filling it a 4 KiB page at a time costs more
// than reading the file.
void Reserve(std::vector<unsigned char>& bytes, std::size_t size)
{
    bytes.clear();
    if (bytes.capacity() >= size)
        return;
    std::vector<unsigned char>().swap(bytes);
    bytes.reserve(size);
#ifdef __linux__
    const std::uintptr_t huge = std::uintptr_t(2) << 20;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(bytes.data());
    const std::uintptr_t first = (start + huge - 1) & ~(huge - 1);
    const std::uintptr_t last = (start + size) & ~(huge - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

void AppendUnits(wxString& text, const std::uint16_t* units, std::size_t count)
{
    text.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        std::uint32_t unit = units[i];
#if SIZEOF_WCHAR_T == 2
        text += static_cast<wchar_t>(unit);
#else
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < count &&
            units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
        {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        else if (unit >= 0xD800 && unit < 0xE000)
        {
            // A lone surrogate has no code point of its own.
            unit = 0xFFFD;
        }
        text += static_cast<wchar_t>(unit);
#endif
    }
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

bool VDXRDEVCARD::WriteFromMemory(const std::vector<unsigned char>& bytes, const wxString& path)
{
    ClearError();
    NotifyStarted();

    AtomicFileWriter out;
    if (!out.Open(MapPath(path)))
    {
        SetError(DEVICE_ERR_OPEN, DestinationText(path), 0);
        return false;
    }

    ClearError();
    NotifyProgress(0);
    const std::size_t size = bytes.size();
    std::size_t done = 0;
    while (done < size)
    {
        const std::size_t piece = std::min(WRITE_CHUNK, size - done);
        if (!out.Write(bytes.data() + done, piece))
        {
            out.Abandon();
            return FailTransfer(DEVICE_ERR_WRITE, DestinationText(path), 0);
        }
        done += piece;
        NotifyProgress(TransferPercent(done, size));
    }

    if (!out.Commit())
    {
        return FailTransfer(DEVICE_ERR_WRITE, DestinationText(path), 0);
    }
    return FinishTransfer();
}

bool VDXRDEVCARD::CopyToDevice(const wxString& localPath, const wxString& path)
{
    ClearError();
    NotifyStarted();

    wxLogNull noLog;
    wxFile in;
    if (!OpenForReading(in, localPath))
    {
        SetError(DEVICE_ERR_LOCAL_OPEN, SourceText(localPath), 0);
        return false;
    }
    AtomicFileWriter out;
    if (!out.Open(MapPath(path)))
    {
        SetError(DEVICE_ERR_OPEN, DestinationText(path), 0);
        return false;
    }

    ClearError();
    NotifyProgress(0);
    const wxFileOffset length = in.Length();
    const std::uint64_t size = length > 0 ? static_cast<std::uint64_t>(length) : 0;
    std::uint64_t done = 0;
    std::unique_ptr<unsigned char[]> piece(new unsigned char[WRITE_CHUNK]);
    for (;;)
    {
        const ssize_t got = length < 0 ? -1 : in.Read(piece.get(), WRITE_CHUNK);
        if (got == 0)
            break;
        if (got < 0)
        {
            // The local file opened but cannot be read (or sized).
            out.Abandon();
            return FailTransfer(DEVICE_ERR_READ, SourceText(localPath), 0);
        }
        if (!out.Write(piece.get(), static_cast<std::size_t>(got)))
        {
            out.Abandon();
            return FailTransfer(DEVICE_ERR_WRITE, DestinationText(path), 0);
        }
        done += static_cast<std::uint64_t>(got);
        NotifyProgress(TransferPercent(done, size));
    }

    if (done != size || !out.Commit())
    {
        out.Abandon();
        return FailTransfer(DEVICE_ERR_WRITE, DestinationText(path), 0);
    }
    return FinishTransfer();
}

bool VDXRDEVCARD::CopyFromDevice(const wxString& path, const wxString& localPath)
{
    ClearError();
    NotifyStarted();

    wxLogNull noLog;
    wxFile in;
    if (!OpenForReading(in, MapPath(path)))
    {
        SetError(DEVICE_ERR_OPEN, SourceText(path), 0);
        return false;
    }
    wxFile out;
    if (!out.Create(localPath, true, wxS_DEFAULT))
    {
        SetError(DEVICE_ERR_LOCAL_OPEN, DestinationText(localPath), 0);
        return false;
    }

    ClearError();
    NotifyProgress(0);
    const wxFileOffset length = in.Length();
    const std::uint64_t size = length > 0 ? static_cast<std::uint64_t>(length) : 0;
    std::uint64_t done = 0;
    bool failed = length == wxInvalidOffset;
    if (failed)
        SetError(DEVICE_ERR_READ, SourceText(path), 0);
    std::unique_ptr<unsigned char[]> piece(new unsigned char[READ_CHUNK]);
    while (!failed)
    {
        const ssize_t got = in.Read(piece.get(), READ_CHUNK);
        if (got == 0)
            break;
        if (got < 0)
        {
            SetError(DEVICE_ERR_READ, SourceText(path), 0);
            failed = true;
            break;
        }
        if (out.Write(piece.get(), static_cast<std::size_t>(got)) != static_cast<std::size_t>(got))
        {
            SetError(DEVICE_ERR_READ, DestinationText(localPath), 0);
            failed = true;
            break;
        }
        done += static_cast<std::uint64_t>(got);
        NotifyProgress(TransferPercent(done, size));
    }
    if (!failed && done != size)
    {
        SetError(DEVICE_ERR_READ, DestinationText(localPath), 0);
        failed = true;
    }
    in.Close();
    if (!out.Close() && !failed)
    {
        SetError(DEVICE_ERR_LOCAL_WRITE, DestinationText(localPath), 0);
        failed = true;
    }
    return EndDownload(failed, localPath);
}

bool VDXRDEVCARD::ReadToMemory(const wxString& path, std::vector<unsigned char>& bytes)
{
    ClearError();
    NotifyStarted();

    wxLogNull noLog;
    wxFile in;
    if (!OpenForReading(in, MapPath(path)))
    {
        SetError(DEVICE_ERR_OPEN, SourceText(path), 0);
        bytes.clear();
        return false;
    }

    ClearError();
    NotifyProgress(0);
    const wxFileOffset length = in.Length();
    if (length == 0)
    {
        bytes.clear();
        return FinishTransfer();
    }

    bool failed = length < 0 || static_cast<std::uint64_t>(length) > bytes.max_size();
    if (!failed)
    {
        try
        {
            Reserve(bytes, static_cast<std::size_t>(length));
            bytes.resize(static_cast<std::size_t>(length));
        }
        catch (const std::bad_alloc&)
        {
            failed = true;
        }
    }
    if (failed)
    {
        SetError(DEVICE_ERR_READ, DestinationText(MEMORY_NAME), 0);
        NotifyFailed();
        bytes.clear();
        return false;
    }

    const std::size_t size = bytes.size();
    std::size_t done = 0;
    while (done < size)
    {
        const ssize_t got = in.Read(bytes.data() + done, std::min(READ_CHUNK, size - done));
        if (got <= 0)
        {
            if (got < 0)
                SetError(DEVICE_ERR_READ, SourceText(path), 0);
            break;
        }
        done += static_cast<std::size_t>(got);
        NotifyProgress(TransferPercent(done, size));
    }
    if (done != size)
    {
        if (m_errorCode == 0)
            SetError(DEVICE_ERR_READ, DestinationText(MEMORY_NAME), 0);
        NotifyFailed();
        bytes.clear();
        return false;
    }
    return FinishTransfer();
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
    if (!FileExists(LICENSE_PATH))
        return wxString();

    wxLogNull noLog;
    wxFile in;
    if (!OpenForReading(in, MapPath(LICENSE_PATH)))
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
        const ssize_t got = in.Read(bytes.data() + done, std::min(READ_CHUNK, bytes.size() - done));
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return ExtractMapExtra(bytes.data(), done);
}

bool VDXRDEVCARD::FindMapExtra(const std::uint16_t* units, std::size_t count,
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
    std::vector<std::uint16_t> units(count);
    for (std::size_t i = 0; i < count; ++i)
        units[i] = static_cast<std::uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));

    std::size_t begin = 0;
    std::size_t end = 0;
    wxString text;
    if (FindMapExtra(units.data(), count, begin, end))
        AppendUnits(text, units.data() + begin, end - begin);
    return text;
}
