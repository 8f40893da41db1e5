// The memory card's files as the transfer loops see them: a reader, a
// writer that keeps its bytes under the staged name until they are flushed,
// a reader that bypasses the system's cache to see what the card kept, and
// the renames and free space of the card's file system. Paths here are
// local paths on the card.
#ifndef PONTIRO_DEVICE_CARDFILES_H
#define PONTIRO_DEVICE_CARDFILES_H

#include "device/devicedefs.h"
#include "device/transferends.h"

#include <wx/string.h>

#include <cstddef>
#include <cstdint>
#include <memory>

class wxFile;

// Pieces the card's transfers count in: writes in kTransferChunk
// (device/devicedefs.h), reads in these.
constexpr std::size_t kCardReadChunk = 65536;
// A card file is written and read in one call per notification step (whole
// pieces), up to this much at once: a call per piece cost the file system
// more than the bytes.
constexpr std::size_t kCardLargestWrite = std::size_t(4) << 20;
constexpr std::size_t kCardLargestRead = std::size_t(1) << 20;
// Pieces of a read-back that bypasses the cache: whole blocks, and large,
// as every one goes to the card.
constexpr std::size_t kCardVerifyChunk = 1 << 20;

class CardReader final : public DeviceReader
{
public:
    CardReader();
    ~CardReader() override;
    bool Open(const wxString& local);
    std::size_t LargestRead() const override { return kCardLargestRead; }
    std::size_t PieceSize() const override { return kCardReadChunk; }
    bool Size(std::uint64_t& size) override;
    bool Read(unsigned char* data, std::size_t size, std::size_t& read,
              std::int32_t& systemError) override;
    void Close() override;

private:
    std::unique_ptr<wxFile> m_file;
};

// Writes <target>.pontiro-new; Finish flushes it to the card and, unless it
// is to stay staged, renames it over the target. Discard removes it. The
// target never holds part of the new bytes, nor an empty placeholder.
// Where the system allows (Linux), the card is written behind the writes,
// at most two windows behind: the flush at the end then finds little left,
// and the progress follows the card rather than the system's memory.
class CardWriter final : public DeviceWriter
{
public:
    enum Mode
    {
        REPLACE_TARGET,     // the write is done once the target is replaced
        KEEP_STAGED         // the write is done once the staged file is flushed
    };

    CardWriter();
    ~CardWriter() override;
    // False when the target is a folder or a file that refuses writing, or
    // the staged file cannot be created (a name the file system refuses).
    bool Open(const wxString& target, const wxString& staged, Mode mode);
    std::size_t LargestWrite() const override { return kCardLargestWrite; }
    std::size_t PieceSize() const override { return kTransferChunk; }
    bool Write(const unsigned char* data, std::size_t size, std::size_t& written,
               std::int32_t& systemError) override;
    bool Finish(std::int32_t& systemError) override;
    void Discard() override;

private:
    bool WriteBehind(std::int32_t& systemError);

    std::unique_ptr<wxFile> m_file;
    wxString m_target;
    wxString m_staged;
    Mode m_mode = REPLACE_TARGET;
    // Bytes written, bytes handed to the card, and bytes known on it.
    std::uint64_t m_written = 0;
    std::uint64_t m_queued = 0;
    std::uint64_t m_settled = 0;
    bool m_writeBehind = true;
};

// Reads a file as the card holds it: with O_DIRECT where the file system
// takes it, else after dropping the file's cached pages (POSIX); without
// the system's buffering where the alignment allows (Windows); a plain read
// where neither is possible.
class CardVerifyReader final : public DeviceReader
{
public:
    CardVerifyReader();
    ~CardVerifyReader() override;
    bool Open(const wxString& local);
    std::size_t LargestRead() const override { return kCardVerifyChunk; }
    bool Size(std::uint64_t& size) override;
    bool Read(unsigned char* data, std::size_t size, std::size_t& read,
              std::int32_t& systemError) override;
    void Close() override;
    // Whether the reads bypass the cache by themselves (O_DIRECT, no
    // buffering) rather than after a drop of the cached pages.
    bool IsDirect() const { return m_direct; }

private:
    bool OpenPlain();
    bool ReadPlain(unsigned char* data, std::size_t size, std::size_t& read);
    bool SeekTo(std::uint64_t position);

    wxString m_local;
    bool m_direct = false;
#ifdef __WINDOWS__
    void* m_handle;
#else
    int m_fd = -1;
#endif
    std::uint64_t m_position = 0;
};

// Renames from to to, written through to the card; to must not exist.
bool MoveCardFile(const wxString& from, const wxString& to);
// Free bytes for new files in the file system of the local folder.
bool CardFreeSpace(const wxString& folder, std::uint64_t& freeBytes);

#endif
