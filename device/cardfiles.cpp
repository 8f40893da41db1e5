#include "device/cardfiles.h"

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>

#ifdef __WINDOWS__
#include <wx/msw/wrapwin.h>

#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

#include <cerrno>

namespace
{
constexpr std::size_t kBlock = CompareTarget::kAlignment;
// How much is written before it is handed to the card.
constexpr std::uint64_t kWriteBehindWindow = std::uint64_t(1) << 20;

bool IsAligned(const void* data, std::size_t size)
{
    return reinterpret_cast<std::uintptr_t>(data) % kBlock == 0 && size % kBlock == 0;
}

// The file's bytes on the card, not only in the system's buffers. The
// toolkit's Flush does this on POSIX only.
bool FlushToCard(wxFile& file)
{
#ifdef __WINDOWS__
    return ::_commit(file.fd()) == 0;
#else
    int result;
    do
        result = ::fsync(file.fd());
    while (result != 0 && errno == EINTR);
    return result == 0;
#endif
}

#ifndef __WINDOWS__
// The folder's entries on the card, after a rename in it. Best effort: a
// file system that cannot sync a folder has done all it can.
void SyncFolderOf(const wxString& local)
{
    const wxString folder = wxFileName(local).GetPath();
    const int fd = ::open(folder.fn_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
#endif
}

CardReader::CardReader() = default;
CardReader::~CardReader() = default;

bool CardReader::Open(const wxString& local)
{
    wxLogNull noLog;
    m_file = std::make_unique<wxFile>();
    return OpenFileForReading(*m_file, local);
}

bool CardReader::Size(std::uint64_t& size)
{
    const wxFileOffset length = m_file->Length();
    if (length == wxInvalidOffset)
        return false;
    size = static_cast<std::uint64_t>(length);
    return true;
}

bool CardReader::Read(unsigned char* data, std::size_t size, std::size_t& read, std::int32_t&)
{
    wxLogNull noLog;
    const ssize_t got = m_file->Read(data, size);
    if (got == wxInvalidOffset)
        return false;
    read = static_cast<std::size_t>(got);
    return true;
}

void CardReader::Close()
{
    m_file->Close();
}

CardWriter::CardWriter() = default;

CardWriter::~CardWriter()
{
    Discard();
}

bool CardWriter::Open(const wxString& target, const wxString& staged, Mode mode)
{
    wxLogNull noLog;
    if (target.empty() || staged.empty() || wxDirExists(target) || wxDirExists(staged))
        return false;
    // Writing over a file that refuses it must fail as writing in place would.
    if (wxFileExists(target) && !wxFile::Access(target, wxFile::write))
        return false;
    // A name the file system refuses fails here, through the staged name,
    // as an open.
    auto file = std::make_unique<wxFile>();
    if (!file->Create(staged, true, wxS_DEFAULT))
        return false;
    m_file = std::move(file);
    m_target = target;
    m_staged = staged;
    m_mode = mode;
    m_written = m_queued = m_settled = 0;
    m_writeBehind = true;
    return true;
}

bool CardWriter::Write(const unsigned char* data, std::size_t size, std::size_t& written,
                       std::int32_t& systemError)
{
    wxLogNull noLog;
    written = size == 0 ? 0 : m_file->Write(data, size);
    m_written += written;
    if (written == 0 && size != 0)
        return false;
    return WriteBehind(systemError);
}

bool CardWriter::WriteBehind(std::int32_t& systemError)
{
#ifdef __linux__
    if (!m_writeBehind || m_written - m_queued < kWriteBehindWindow)
        return true;
    const int fd = m_file->fd();
    // The window before the last must be on the card before more is handed
    // to it, so no more than two windows wait in memory.
    if (m_queued > m_settled
        && ::sync_file_range(fd, static_cast<off64_t>(m_settled), static_cast<off64_t>(m_queued - m_settled),
                             SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER) != 0)
    {
        // A card that failed to take the bytes fails the write now; a file
        // system without the call is written as without write-behind.
        if (errno == EIO || errno == ENOSPC)
        {
            systemError = errno;
            return false;
        }
        m_writeBehind = false;
        return true;
    }
    m_settled = m_queued;
    if (::sync_file_range(fd, static_cast<off64_t>(m_queued), static_cast<off64_t>(m_written - m_queued),
                          SYNC_FILE_RANGE_WRITE) != 0)
        m_writeBehind = false;
    m_queued = m_written;
#else
    (void)systemError;
#endif
    return true;
}

bool CardWriter::Finish(std::int32_t&)
{
    wxLogNull noLog;
    // The bytes must be on the card before a name points at them.
    // The cached pages stay: the read-back bypasses them (O_DIRECT) or drops
    // them itself, and dropping them here cost as much as a quarter of the
    // write.
    bool done = FlushToCard(*m_file);
    done = m_file->Close() && done;
    m_file.reset();
    if (done && m_mode == REPLACE_TARGET)
    {
#ifdef __WINDOWS__
        done = ::MoveFileExW(m_staged.wc_str(), m_target.wc_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
        done = wxRename(m_staged, m_target) == 0;
        if (done)
            SyncFolderOf(m_target);
#endif
    }
    if (!done)
        wxRemoveFile(m_staged);
    return done;
}

void CardWriter::Discard()
{
    if (!m_file)
        return;
    wxLogNull noLog;
    m_file->Close();
    m_file.reset();
    wxRemoveFile(m_staged);
}

CardVerifyReader::CardVerifyReader()
#ifdef __WINDOWS__
    : m_handle(INVALID_HANDLE_VALUE)
#endif
{
}

CardVerifyReader::~CardVerifyReader()
{
    Close();
}

bool CardVerifyReader::Open(const wxString& local)
{
    Close();
    m_local = local;
    m_position = 0;
    if (local.empty() || !wxFileExists(local))
        return false;
#ifdef __WINDOWS__
    m_handle = ::CreateFileW(local.wc_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN,
                             nullptr);
    m_direct = m_handle != INVALID_HANDLE_VALUE;
#elif defined(O_DIRECT)
    m_fd = ::open(local.fn_str(), O_RDONLY | O_CLOEXEC | O_DIRECT);
    m_direct = m_fd >= 0;
#endif
    return m_direct || OpenPlain();
}

bool CardVerifyReader::OpenPlain()
{
    m_direct = false;
#ifdef __WINDOWS__
    m_handle = ::CreateFileW(m_local.wc_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return m_handle != INVALID_HANDLE_VALUE;
#else
    m_fd = ::open(m_local.fn_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return false;
#ifdef POSIX_FADV_DONTNEED
    // The pages the writer left in memory go, so the reads reach the card.
    ::fdatasync(m_fd);
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_DONTNEED);
#endif
    return true;
#endif
}

bool CardVerifyReader::Size(std::uint64_t& size)
{
#ifdef __WINDOWS__
    LARGE_INTEGER length;
    if (!::GetFileSizeEx(m_handle, &length))
        return false;
    size = static_cast<std::uint64_t>(length.QuadPart);
#else
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return false;
    size = static_cast<std::uint64_t>(info.st_size);
#endif
    return true;
}

bool CardVerifyReader::ReadPlain(unsigned char* data, std::size_t size, std::size_t& read)
{
    read = 0;
#ifdef __WINDOWS__
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(size);
    if (!::ReadFile(m_handle, data, wanted, &got, nullptr))
        return false;
    read = got;
#else
    ssize_t got;
    do
        got = ::read(m_fd, data, size);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return false;
    read = static_cast<std::size_t>(got);
#endif
    m_position += read;
    return true;
}

bool CardVerifyReader::Read(unsigned char* data, std::size_t size, std::size_t& read,
                            std::int32_t&)
{
    if (m_direct && !IsAligned(data, size))
    {
        // A piece the direct reads cannot take: the rest is read plainly,
        // from where the direct reads stopped.
        const std::uint64_t position = m_position;
        Close();
        if (!OpenPlain() || !SeekTo(position))
            return false;
    }
    if (ReadPlain(data, size, read))
        return true;
    // A file system that opened the file for direct reads may still refuse
    // them; the first read then starts over without.
    if (!m_direct || m_position != 0)
        return false;
    Close();
    return OpenPlain() && ReadPlain(data, size, read);
}

bool CardVerifyReader::SeekTo(std::uint64_t position)
{
    m_position = position;
#ifdef __WINDOWS__
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(m_handle, distance, nullptr, FILE_BEGIN) != 0;
#else
    return ::lseek(m_fd, static_cast<off_t>(position), SEEK_SET) == static_cast<off_t>(position);
#endif
}

void CardVerifyReader::Close()
{
#ifdef __WINDOWS__
    if (m_handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
#else
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
#endif
}

bool MoveCardFile(const wxString& from, const wxString& to)
{
    if (from.empty() || to.empty())
        return false;
#ifdef __WINDOWS__
    return ::MoveFileExW(from.wc_str(), to.wc_str(), MOVEFILE_WRITE_THROUGH) != 0;
#else
    if (::rename(from.fn_str(), to.fn_str()) != 0)
        return false;
    SyncFolderOf(to);
    return true;
#endif
}

bool CardFreeSpace(const wxString& folder, std::uint64_t& freeBytes)
{
    freeBytes = 0;
    if (folder.empty())
        return false;
#ifdef __WINDOWS__
    ULARGE_INTEGER available;
    if (!::GetDiskFreeSpaceExW(folder.wc_str(), &available, nullptr, nullptr))
        return false;
    freeBytes = available.QuadPart;
#else
    struct statvfs info;
    if (::statvfs(folder.fn_str(), &info) != 0)
        return false;
    freeBytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
#endif
    return true;
}
