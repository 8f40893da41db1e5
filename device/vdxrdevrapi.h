// The device docked through the Remote API: the provider library is loaded
// at run time and bound by name; the device-side library is deployed before
// every remote call.
#ifndef PONTIRO_DEVICE_VDXRDEVRAPI_H
#define PONTIRO_DEVICE_VDXRDEVRAPI_H

#include "device/rapitypes.h"
#include "device/vdxrdev.h"

#include <wx/dynlib.h>

#include <cstdint>
#include <vector>

// The Windows headers' DeleteFile and GetFreeSpace set aside while the
// operations are declared (see vdxrdev.h).
#if defined(_WIN32) && defined(DeleteFile)
#undef DeleteFile
#define PONTIRO_VDXRDEVRAPI_DELETEFILE_UNDEFINED
#endif
#if defined(_WIN32) && defined(GetFreeSpace)
#undef GetFreeSpace
#define PONTIRO_VDXRDEVRAPI_GETFREESPACE_UNDEFINED
#endif

// Where the device-side library lives on the device.
extern const wxChar* const DEVICE_LIBRARY_PATH;

class VDXRDEVRAPI : public VDXRDEV
{
public:
    VDXRDEVRAPI();
    ~VDXRDEVRAPI() override;

    bool Connect() override;
    bool Disconnect() override;
    bool CopyToDevice(const wxString& localPath, const wxString& path) override;
    bool CopyFromDevice(const wxString& path, const wxString& localPath) override;
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

    // Whole-file transfers between a byte vector and a device file. A failed
    // read leaves the vector empty.
    virtual bool ReadToMemory(const wxString& path, ByteVector& bytes);
    virtual bool WriteFromMemory(const ByteVector& bytes, const wxString& path);
    // Copies length bytes into a vector and writes it with WriteFromMemory.
    virtual bool WriteBytes(const void* data, const wxString& path, std::uint32_t length);

    // Staging needs the provider's optional CeMoveFile, the free space its
    // CeGetDiskFreeSpaceEx.
    bool CanStage() override;
    bool GetFreeSpace(const wxString& folder, std::uint64_t& freeBytes) override;

protected:
    // How a reply of the device-side library is read.
    enum ReplyKind
    {
        REPLY_NARROW_TEXT,  // 8-bit text whose only zero byte is its last
        REPLY_WIDE_TEXT     // UTF-16 text up to its first zero unit or the end
    };

    // Deploys the device-side library, then calls its export.
    wxString RemoteCall(const char* function, const void* input, std::uint32_t inputSize,
                        ReplyKind kind);
    bool DeployLibrary();
    void ForgetEntryPoints();
    // Loads and binds the provider and starts an initialisation; false when
    // any of it failed (the attempt is then over).
    bool BeginInitialisation();
    // CeRapiUninit: ends the initialisation, pending or connected.
    void EndInitialisation();
    // Looks up all entry points by name; false when any is missing.
    bool BindEntryPoints();
    // False, with DEVICE_ERR_RAPI_ENTRY recorded, while nothing is bound.
    bool IsBound();
    // CeGetLastError, as the error record keeps it.
    std::int32_t LastDeviceError() const;

    rapi::DWORD Attributes(const wxString& path);
    bool MakeFolder(const wxString& path);
    bool ListEntries(const wxString& path, wxArrayString& names, bool folders);
    rapi::HANDLE OpenDeviceFile(const wxString& path, bool forWriting);

    // The start of every transfer: the record cleared, the start posted,
    // and a failure unless a provider is bound.
    bool StartTransfer() override;
    std::unique_ptr<DeviceReader> OpenReader(const wxString& path,
                                             std::int32_t& systemError) override;
    std::unique_ptr<DeviceWriter> OpenWriter(const wxString& path,
                                             std::int32_t& systemError) override;
    bool MoveDeviceFile(const wxString& from, const wxString& to,
                        std::int32_t& systemError) override;

    wxDynamicLibrary m_rapi;
    // The initialisation the attempts of Connect wait on; the provider fills
    // it in while it is pending, so it lives as long as that.
    rapi::RAPIINIT m_init;
    bool m_initPending;
    rapi::CeRapiInitExFn m_ceRapiInitEx;
    rapi::CeRapiUninitFn m_ceRapiUninit;
    rapi::CeGetLastErrorFn m_ceGetLastError;
    rapi::CeRapiGetErrorFn m_ceRapiGetError;
    rapi::CeRapiInvokeFn m_ceRapiInvoke;
    rapi::CeFindFirstFileFn m_ceFindFirstFile;
    rapi::CeFindNextFileFn m_ceFindNextFile;
    rapi::CeFindCloseFn m_ceFindClose;
    rapi::CeCreateFileFn m_ceCreateFile;
    rapi::CeReadFileFn m_ceReadFile;
    rapi::CeWriteFileFn m_ceWriteFile;
    rapi::CeGetFileSizeFn m_ceGetFileSize;
    rapi::CeSetFilePointerFn m_ceSetFilePointer;
    rapi::CeSetFileAttributesFn m_ceSetFileAttributes;
    rapi::CeGetFileAttributesFn m_ceGetFileAttributes;
    rapi::CeDeleteFileFn m_ceDeleteFile;
    rapi::CeCloseHandleFn m_ceCloseHandle;
    rapi::CeCreateDirectoryFn m_ceCreateDirectory;
    rapi::CeRemoveDirectoryFn m_ceRemoveDirectory;
    // Optional: null when the provider lacks them.
    rapi::CeMoveFileFn m_ceMoveFile;
    rapi::CeGetDiskFreeSpaceExFn m_ceGetDiskFreeSpaceEx;
    rapi::ReleaseReplyFn m_releaseReply;
    rapi::AllocateInputFn m_allocateInput;

private:
    class FileEnd;
    class FileReader;
    class FileWriter;
};

// The Windows headers' macros, put back as this header found them.
#if defined(_WIN32) && defined(PONTIRO_VDXRDEVRAPI_DELETEFILE_UNDEFINED)
#undef PONTIRO_VDXRDEVRAPI_DELETEFILE_UNDEFINED
#if defined(UNICODE)
#define DeleteFile DeleteFileW
#else
#define DeleteFile DeleteFileA
#endif
#endif

#if defined(_WIN32) && defined(PONTIRO_VDXRDEVRAPI_GETFREESPACE_UNDEFINED)
#undef PONTIRO_VDXRDEVRAPI_GETFREESPACE_UNDEFINED
#define GetFreeSpace(w) (0x100000L)
#endif

#endif
