#include "device/transferends.h"

#include "device/devicedefs.h"

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/log.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace
{
// Makes room for size bytes in a vector; what it holds is read over, so
// the old buffer goes before the new one is made.
void Reserve(ByteVector& bytes, std::size_t size)
{
    if (bytes.capacity() >= size)
        return;
    ByteVector().swap(bytes);
    bytes.reserve(size);
}

// A buffer of at least size bytes, kept across calls.
unsigned char* Buffer(std::unique_ptr<unsigned char[]>& buffer, std::size_t& capacity,
                      std::size_t size)
{
    if (capacity < size)
    {
        buffer.reset(new unsigned char[size]);
        capacity = size;
    }
    return buffer.get();
}
}

bool OpenFileForReading(wxFile& file, const wxString& path)
{
    return !path.empty() && wxFileExists(path) && file.Open(path, wxFile::read);
}

MemorySource::MemorySource(const ByteVector& bytes, const wxString& name)
    : UploadSource(name), m_bytes(bytes)
{
}

bool MemorySource::Size(std::uint64_t& size)
{
    size = m_bytes.size();
    return true;
}

bool MemorySource::Peek(std::size_t most, const unsigned char*& data, std::size_t& size)
{
    data = m_bytes.data() + m_done;
    size = std::min(most, m_bytes.size() - m_done);
    return true;
}

void MemorySource::Consume(std::size_t count)
{
    m_done += count;
}

LocalFileSource::LocalFileSource(wxFile& file, const wxString& path)
    : UploadSource(path), m_file(file)
{
}

bool LocalFileSource::Size(std::uint64_t& size)
{
    const wxFileOffset length = m_file.Length();
    if (length == wxInvalidOffset)
        return false;
    size = static_cast<std::uint64_t>(length);
    return true;
}

bool LocalFileSource::Peek(std::size_t most, const unsigned char*& data, std::size_t& size)
{
    if (m_start == m_end)
    {
        // What a short device write left over goes first; only then more.
        unsigned char* buffer = Buffer(m_buffer, m_capacity, most);
        wxLogNull noLog;
        const ssize_t got = m_file.Read(buffer, most);
        if (got == wxInvalidOffset)
            return false;
        m_start = 0;
        m_end = static_cast<std::size_t>(got);
    }
    data = m_buffer.get() + m_start;
    size = std::min(most, m_end - m_start);
    return true;
}

void LocalFileSource::Consume(std::size_t count)
{
    m_start += count;
}

MemoryTarget::MemoryTarget(ByteVector& bytes, const wxString& name,
                           std::uint64_t largest)
    : DownloadTarget(name), m_bytes(bytes), m_largest(std::min<std::uint64_t>(largest, bytes.max_size()))
{
}

std::int32_t MemoryTarget::Prepare(std::uint64_t size)
{
    m_done = 0;
    m_size = 0;
    if (size > m_largest)
        return DEVICE_ERR_READ;
    try
    {
        Reserve(m_bytes, static_cast<std::size_t>(size));
    }
    catch (const std::bad_alloc&)
    {
        return DEVICE_ERR_READ;
    }
    m_size = static_cast<std::size_t>(size);
    if (m_bytes.size() > m_size)
        m_bytes.resize(m_size);
    return 0;
}

unsigned char* MemoryTarget::Space(std::size_t most, std::size_t& room)
{
    room = std::min(most, m_size - m_done);
    // The vector grows just ahead of the read that fills it; growing sets
    // no bytes (device/bytevector.h).
    if (m_bytes.size() < m_done + room)
        m_bytes.resize(m_done + room);
    return m_bytes.data() + m_done;
}

std::int32_t MemoryTarget::Accept(std::size_t count)
{
    m_done += count;
    return 0;
}

std::int32_t MemoryTarget::Finish()
{
    m_bytes.resize(m_done);
    return 0;
}

void MemoryTarget::Discard()
{
    m_bytes.clear();
}

LocalFileTarget::LocalFileTarget(wxFile& file, const wxString& path, std::int32_t shortWriteError)
    : DownloadTarget(path), m_file(file), m_shortWriteError(shortWriteError)
{
}

std::int32_t LocalFileTarget::Prepare(std::uint64_t)
{
    return 0;
}

unsigned char* LocalFileTarget::Space(std::size_t most, std::size_t& room)
{
    room = most;
    return Buffer(m_buffer, m_capacity, most);
}

std::int32_t LocalFileTarget::Accept(std::size_t count)
{
    wxLogNull noLog;
    return m_file.Write(m_buffer.get(), count) == count ? 0 : m_shortWriteError;
}

std::int32_t LocalFileTarget::Finish()
{
    wxLogNull noLog;
    return m_file.Close() ? 0 : DEVICE_ERR_LOCAL_WRITE;
}

void LocalFileTarget::Discard()
{
    wxLogNull noLog;
    m_file.Close();
    wxRemoveFile(Name());
}

CompareTarget::CompareTarget(const ByteVector& expected, const wxString& name)
    : DownloadTarget(name), m_expected(expected)
{
}

CompareTarget::~CompareTarget()
{
    ::operator delete(m_buffer, std::align_val_t(kAlignment));
}

std::int32_t CompareTarget::Prepare(std::uint64_t size)
{
    m_done = 0;
    return size == m_expected.size() ? 0 : DEVICE_ERR_VERIFY;
}

unsigned char* CompareTarget::Space(std::size_t most, std::size_t& room)
{
    if (m_capacity < most)
    {
        ::operator delete(m_buffer, std::align_val_t(kAlignment));
        m_capacity = 0;
        const std::size_t size = (most + kAlignment - 1) / kAlignment * kAlignment;
        m_buffer = static_cast<unsigned char*>(
            ::operator new(size, std::align_val_t(kAlignment), std::nothrow));
        if (m_buffer)
            m_capacity = size;
    }
    room = std::min(most, m_capacity);
    return m_buffer;
}

std::int32_t CompareTarget::Accept(std::size_t count)
{
    if (count > m_expected.size() - m_done
        || std::memcmp(m_buffer, m_expected.data() + m_done, count) != 0)
        return DEVICE_ERR_VERIFY;
    m_done += count;
    return 0;
}

std::int32_t CompareTarget::Finish()
{
    return m_done == m_expected.size() ? 0 : DEVICE_ERR_VERIFY;
}

void CompareTarget::Discard()
{
}
