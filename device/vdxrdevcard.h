// The device reached through its storage card in a card reader: device
// paths are paths on the card's file system, and only the map-extra text
// is known (read from the navigation software's license file).
#ifndef PONTIRO_DEVICE_VDXRDEVCARD_H
#define PONTIRO_DEVICE_VDXRDEVCARD_H

#include "device/vdxrdevrapi.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The Windows headers' DeleteFile and GetFreeSpace set aside while the
// operations are declared (see vdxrdev.h).
#if defined(_WIN32) && defined(DeleteFile)
#undef DeleteFile
#define PONTIRO_VDXRDEVCARD_DELETEFILE_UNDEFINED
#endif
#if defined(_WIN32) && defined(GetFreeSpace)
#undef GetFreeSpace
#define PONTIRO_VDXRDEVCARD_GETFREESPACE_UNDEFINED
#endif

// Derives from the Remote API device so the program holds either through one
// pointer type; it uses none of the Remote API members and loads no library.
class VDXRDEVCARD : public VDXRDEVRAPI
{
public:
#ifdef __WINDOWS__
    // The card is the drive; device path /x maps to drive:/x.
    explicit VDXRDEVCARD(wxChar drive);
#else
    // The card is the file system mounted at root; device path /x maps to
    // root/x and cannot leave it.
    explicit VDXRDEVCARD(const wxString& root);
#endif
    ~VDXRDEVCARD() override;

    bool Connect() override;
    bool Disconnect() override;
    bool DeleteFile(const wxString& path) override;
    bool Exists(const wxString& path) override;
    bool DirExists(const wxString& path) override;
    bool FileExists(const wxString& path) override;
    bool CreateDir(const wxString& path, bool recursive) override;
    bool ListDirs(const wxString& path, wxArrayString& names) override;
    bool ListFiles(const wxString& path, wxArrayString& names) override;
    wxString MapPath(const wxString& path) override;
    wxString GetDeviceID() override;
    wxString GetCardID(const wxString& mountFolder) override;
    wxString GetMapVender() override;
    wxString GetMapExtra() override;
    // The other transfers are those of the Remote API device, over the
    // card's files (OpenReader, OpenWriter) and its transfer rules.
    bool WriteFromMemory(const ByteVector& bytes, const wxString& path) override;
    // The card replaces files by renaming them; its free space is the file
    // system's.
    bool CanStage() override;
    bool GetFreeSpace(const wxString& folder, std::uint64_t& freeBytes) override;

    // The map-extra text in the bytes of a license file (UTF-16LE): from the
    // first "K" followed by "ELVO" in any case up to the next zero unit or
    // the end. Empty when there is no such marker.
    static wxString ExtractMapExtra(const unsigned char* data, std::size_t size);
    // The same as a range of UTF-16 units: [begin, end) of the text.
    static bool FindMapExtra(const char16_t* units, std::size_t count,
                             std::size_t& begin, std::size_t& end);

protected:
    bool StartTransfer() override;
    std::unique_ptr<DeviceReader> OpenReader(const wxString& path,
                                             std::int32_t& systemError) override;
    std::unique_ptr<DeviceWriter> OpenWriter(const wxString& path,
                                             std::int32_t& systemError) override;
    std::unique_ptr<DeviceWriter> OpenStagedWriter(const wxString& path,
                                                   std::int32_t& systemError) override;
    std::unique_ptr<DeviceReader> OpenVerifyReader(const wxString& stagedPath,
                                                   std::int32_t& systemError) override;
    bool MoveDeviceFile(const wxString& from, const wxString& to,
                        std::int32_t& systemError) override;

private:
    // Root of the card in local form, without a trailing separator.
    wxString Root() const;

#ifdef __WINDOWS__
    wxChar m_drive;
#else
    wxString m_root;
#endif
};

// The Windows headers' macros, put back as this header found them.
#if defined(_WIN32) && defined(PONTIRO_VDXRDEVCARD_DELETEFILE_UNDEFINED)
#undef PONTIRO_VDXRDEVCARD_DELETEFILE_UNDEFINED
#if defined(UNICODE)
#define DeleteFile DeleteFileW
#else
#define DeleteFile DeleteFileA
#endif
#endif

#if defined(_WIN32) && defined(PONTIRO_VDXRDEVCARD_GETFREESPACE_UNDEFINED)
#undef PONTIRO_VDXRDEVCARD_GETFREESPACE_UNDEFINED
#define GetFreeSpace(w) (0x100000L)
#endif

#endif
