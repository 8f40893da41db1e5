// The two ends of a whole-file transfer, between which the transfer loops
// of VDXRDEV move the bytes: a device file, which each back end opens in its
// own way, and a byte vector or a local file, the same on every back end.
#ifndef PONTIRO_DEVICE_TRANSFERENDS_H
#define PONTIRO_DEVICE_TRANSFERENDS_H

#include "device/bytevector.h"

#include <wx/string.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class wxFile;

// A device file open for writing.
class DeviceWriter
{
public:
    virtual ~DeviceWriter() = default;
    // The largest span one Write is handed.
    virtual std::size_t LargestWrite() const = 0;
    // The transfer counts in pieces of this size, the device's own: a Write
    // is handed whole pieces (or the rest), at most up to the next change of
    // the whole percentage. A writer that takes more than a piece at once
    // is called once per notification, and the notifications are those of
    // a transfer piece by piece.
    virtual std::size_t PieceSize() const { return LargestWrite(); }
    // Writes up to size bytes; written says how many the device took, which
    // may be fewer or none. False when the write failed, with the device's
    // error number in systemError (0 when it has none).
    virtual bool Write(const unsigned char* data, std::size_t size, std::size_t& written,
                       std::int32_t& systemError) = 0;
    // Every byte is in: closes the file, which is then the path's whole
    // content. False when that failed.
    virtual bool Finish(std::int32_t& systemError) = 0;
    // The transfer failed: closes the file and leaves no partial file under
    // the path's name.
    virtual void Discard() = 0;
};

// A device file open for reading.
class DeviceReader
{
public:
    virtual ~DeviceReader() = default;
    virtual std::size_t LargestRead() const = 0;
    // As DeviceWriter's: reads of whole pieces, at most up to the next
    // change of the whole percentage.
    virtual std::size_t PieceSize() const { return LargestRead(); }
    // The size the device reports; false when it cannot say.
    virtual bool Size(std::uint64_t& size) = 0;
    // Reads up to size bytes; read is 0 at the end of the file. False when
    // the read failed, with the device's error number in systemError.
    virtual bool Read(unsigned char* data, std::size_t size, std::size_t& read,
                      std::int32_t& systemError) = 0;
    virtual void Close() = 0;
};

// Where the bytes of an upload come from.
class UploadSource
{
public:
    explicit UploadSource(const wxString& name) : m_name(name) {}
    virtual ~UploadSource() = default;
    // How the source is named in error texts.
    const wxString& Name() const { return m_name; }
    virtual bool Size(std::uint64_t& size) = 0;
    // The next bytes not yet consumed, at most most of them; none at the
    // end. False when the source cannot be read.
    virtual bool Peek(std::size_t most, const unsigned char*& data, std::size_t& size) = 0;
    // The first count bytes of the last Peek are written.
    virtual void Consume(std::size_t count) = 0;

private:
    wxString m_name;
};

// Where the bytes of a download go. The results are device error codes,
// 0 when all went well.
class DownloadTarget
{
public:
    explicit DownloadTarget(const wxString& name) : m_name(name) {}
    virtual ~DownloadTarget() = default;
    const wxString& Name() const { return m_name; }
    // Room for all of size bytes.
    virtual std::int32_t Prepare(std::uint64_t size) = 0;
    // Where the next read goes, and how much of it there is: at most most,
    // and 0 when the target takes no more.
    virtual unsigned char* Space(std::size_t most, std::size_t& room) = 0;
    // count bytes were read into the last Space.
    virtual std::int32_t Accept(std::size_t count) = 0;
    virtual std::int32_t Finish() = 0;
    // The transfer failed: nothing partial stays behind.
    virtual void Discard() = 0;

private:
    wxString m_name;
};

// The bytes of a vector, handed out in place.
class MemorySource : public UploadSource
{
public:
    MemorySource(const ByteVector& bytes, const wxString& name);
    bool Size(std::uint64_t& size) override;
    bool Peek(std::size_t most, const unsigned char*& data, std::size_t& size) override;
    void Consume(std::size_t count) override;

private:
    const ByteVector& m_bytes;
    std::size_t m_done = 0;
};

// A local file, read a piece at a time into a buffer of its own.
class LocalFileSource : public UploadSource
{
public:
    LocalFileSource(wxFile& file, const wxString& path);
    bool Size(std::uint64_t& size) override;
    bool Peek(std::size_t most, const unsigned char*& data, std::size_t& size) override;
    void Consume(std::size_t count) override;

private:
    wxFile& m_file;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_start = 0;
    std::size_t m_end = 0;
};

// Fills a vector, read straight into its bytes; a failed download leaves it
// empty.
class MemoryTarget : public DownloadTarget
{
public:
    // A file larger than largest is not read.
    MemoryTarget(ByteVector& bytes, const wxString& name, std::uint64_t largest);
    std::int32_t Prepare(std::uint64_t size) override;
    unsigned char* Space(std::size_t most, std::size_t& room) override;
    std::int32_t Accept(std::size_t count) override;
    std::int32_t Finish() override;
    void Discard() override;

private:
    ByteVector& m_bytes;
    std::uint64_t m_largest;
    std::size_t m_size = 0;
    std::size_t m_done = 0;
};

// Writes a local file opened by the caller; a failed download removes it.
class LocalFileTarget : public DownloadTarget
{
public:
    // shortWriteError is the code of a write that came short.
    LocalFileTarget(wxFile& file, const wxString& path, std::int32_t shortWriteError);
    std::int32_t Prepare(std::uint64_t size) override;
    unsigned char* Space(std::size_t most, std::size_t& room) override;
    std::int32_t Accept(std::size_t count) override;
    std::int32_t Finish() override;
    void Discard() override;

private:
    wxFile& m_file;
    std::int32_t m_shortWriteError;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::size_t m_capacity = 0;
};

// Compares what is read with a vector, a piece at a time, without a copy
// of the whole: a size or a byte that differs is DEVICE_ERR_VERIFY. Its
// pieces are aligned for reads that bypass the system's cache, and as large
// as asked even near the end, so such reads keep whole blocks.
class CompareTarget : public DownloadTarget
{
public:
    CompareTarget(const ByteVector& expected, const wxString& name);
    ~CompareTarget() override;
    std::int32_t Prepare(std::uint64_t size) override;
    unsigned char* Space(std::size_t most, std::size_t& room) override;
    std::int32_t Accept(std::size_t count) override;
    std::int32_t Finish() override;
    void Discard() override;

    // The alignment of the pieces.
    static constexpr std::size_t kAlignment = 4096;

private:
    const ByteVector& m_expected;
    unsigned char* m_buffer = nullptr;
    std::size_t m_capacity = 0;
    std::size_t m_done = 0;
};

// Opens a local file for reading; folders are refused here because the
// system would open them and only fail at the first read.
bool OpenFileForReading(wxFile& file, const wxString& path);

#endif
