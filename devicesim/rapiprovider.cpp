// The simulated device's Remote API: the 19 functions of the provider
// library, the optional CeMoveFile and CeGetDiskFreeSpaceEx, and the release
// function of remote-call replies. File operations
// work on the device's folder; CeRapiInvoke loads the library file the
// desktop deployed and runs the export against the simulated core library.
#include "device/rapitypes.h"
#include "devicelib/vdxrapi.h"
#include "devicesim/devicecore.h"
#include "devicesim/devicefiles.h"
#include "devicesim/devicesim.h"
#include "devicesim/profile.h"
#include "devicesim/sharedlibrary.h"
#include "devicesim/utf8.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
// As rapi.dll: a waitable timer for the link event, LoadLibrary for the
// deployed library, replies from LocalAlloc (see wincompat.h).
#include "devicesim/wincompat.h"
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define PROVIDER_API extern "C" __declspec(dllexport)
#else
#include <fcntl.h>
#include <sys/timerfd.h>
#include <unistd.h>

#define PROVIDER_API extern "C" __attribute__((visibility("default")))
#endif

using namespace rapi;

namespace
{
const HRESULT S_OK_RESULT = 0;
const HRESULT E_INVALIDARG_RESULT = static_cast<HRESULT>(0x80070057u);
const DWORD ERROR_NOT_ENOUGH_MEMORY_CODE = 8;
const DWORD ERROR_MOD_NOT_FOUND = 126;
const DWORD ERROR_PROC_NOT_FOUND = 127;
const DWORD ERROR_BAD_EXE_FORMAT = 193;
const DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
// LMEM_ZEROINIT of LocalAlloc's flags.
const DWORD kZeroInit = 0x40;

HRESULT FromError(DWORD error)
{
    return static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

thread_local DWORD t_lastError = 0;

using Clock = std::chrono::steady_clock;

class Provider
{
public:
    static Provider& Instance()
    {
        static Provider s_provider;
        return s_provider;
    }

    std::mutex& Lock() { return m_lock; }
    devsim::DeviceFiles& Files() { return m_files; }
    const devsim::DeviceProfile& Profile() const { return m_profile; }

    // Reads the profile afresh so a test can change it between calls.
    void Refresh()
    {
        if (!m_root.empty())
            m_profile = devsim::LoadProfile(m_root);
        m_files.Attach(m_root, &m_profile);
    }

    void Log(const std::string& line) { devsim::DeviceCore::Instance().Log(line); }

    HRESULT InitEx(RAPIINIT* init)
    {
        ++m_inits;
        Log("CeRapiInitEx");
        if (!init || init->cbSize < sizeof(RAPIINIT))
            return E_INVALIDARG_RESULT;
        const char* root = std::getenv("PONTIRO_DEVICE_ROOT");
        if (!root || !*root)
            return CE_E_FAIL;
        m_root = root;
        Refresh();
        m_files.BeginSession();
        for (const std::string& problem : m_profile.problems)
            Log("profile: not understood: " + problem);
        if (m_profile.initResult != 0)
            return m_profile.initResult;

        // The link comes up once an initialisation has been pending for the
        // profile's delay; a CeRapiUninit in between starts the count again.
        // A second CeRapiInitEx joins the one pending.
        if (!m_session)
        {
            CloseEvent();
            m_initTime = Clock::now();
            if (!OpenEvent())
                return CE_E_FAIL;
            m_session = true;
        }
#ifdef _WIN32
        init->heRapiInit = m_winEvent;
#else
        // Non-Windows providers hand out a file descriptor that becomes
        // readable when the link is up or has failed.
        init->heRapiInit = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(m_event));
#endif
        init->hrRapiInit = m_profile.linkResult;
        return S_OK_RESULT;
    }

    HRESULT Uninit()
    {
        ++m_uninits;
        Log("CeRapiUninit");
        const bool had = m_session;
        m_session = false;
        CloseEvent();
        m_files.CloseAll();
        return had ? S_OK_RESULT : CE_E_FAIL;
    }

    // Whether a call may reach the device now; sets the error when not.
    bool LinkUp()
    {
        const bool up = m_session && !m_files.LinkLost() && m_profile.linkDelayMs >= 0
                        && m_profile.linkResult >= 0
                        && Clock::now() >= m_initTime
                                              + std::chrono::milliseconds(m_profile.linkDelayMs);
        if (!up)
            t_lastError = ERROR_DEVICE_NOT_CONNECTED;
        return up;
    }

    HRESULT Invoke(LPCWSTR dllPath, LPCWSTR function, DWORD inputSize, const BYTE* input,
                   DWORD* outputSize, BYTE** output);

    BYTE* NewReply(const std::vector<BYTE>& bytes)
    {
#ifdef _WIN32
        // Released by the desktop with kernel32's LocalFree, which no
        // counter here sees.
        BYTE* reply = static_cast<BYTE*>(devsim::win::AllocateReply(bytes.size()));
        if (!reply)
            return nullptr;
        if (!bytes.empty())
            std::memcpy(reply, bytes.data(), bytes.size());
        m_replies.insert(reply);
        ++m_replyCount;
        return reply;
#else
        BYTE* reply = static_cast<BYTE*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
        if (!reply)
            return nullptr;
        if (!bytes.empty())
            std::memcpy(reply, bytes.data(), bytes.size());
        m_replies.insert(reply);
        ++m_replyCount;
        return reply;
#endif
    }

    void* FreeReply(void* reply)
    {
        if (!reply)
            return nullptr;
        if (m_replies.erase(reply) == 0)
        {
            ++m_replyBadFrees;
            Log("LocalFree of an unknown reply");
            return reply;
        }
        std::free(reply);
        ++m_replyFrees;
        return nullptr;
    }

#ifndef _WIN32
    // LocalAlloc for the desktop: the inputs of its remote calls.
    void* AllocateInput(DWORD flags, std::size_t size)
    {
        const std::size_t bytes = size ? size : 1;
        void* block = (flags & kZeroInit) ? std::calloc(bytes, 1) : std::malloc(bytes);
        if (block)
            m_inputs.insert(block);
        return block;
    }
#endif

    // CeRapiInvoke releases its input, as the Remote API does; one that did
    // not come from LocalAlloc cannot be released and is counted.
    void ReleaseInput(void* input)
    {
        if (!input)
            return;
#ifdef _WIN32
        const bool local = devsim::win::IsLocalBlock(input);
        if (local)
            devsim::win::FreeLocalBlock(input);
#else
        const bool local = m_inputs.erase(input) != 0;
        if (local)
            std::free(input);
#endif
        if (local)
        {
            ++m_inputsReleased;
            return;
        }
        ++m_inputsForeign;
        Log("input not allocated with LocalAlloc");
    }

#ifdef _WIN32
    // What a test that watches the desktop's LocalFree calls saw: a reply
    // released, or any release that failed (a reply freed twice, say).
    void ReplyReleased(void* block, bool freed)
    {
        const bool reply = m_replies.erase(block) != 0;
        if (!freed)
        {
            ++m_replyBadFrees;
            Log("LocalFree failed");
        }
        else if (reply)
        {
            ++m_replyFrees;
        }
    }
#endif

    void Reset()
    {
        devsim::DeviceCore::Instance().Reset();
        m_files.CloseAll();
        m_files.BeginSession();
        m_inits = m_uninits = m_invokes = m_exportCalls = m_inputsLeft = 0;
        m_replyCount = m_replyFrees = m_replyBadFrees = 0;
        m_inputsReleased = m_inputsForeign = 0;
    }

    void Counters(DEVSIM_COUNTERS& c)
    {
        const devsim::CoreCounters core = devsim::DeviceCore::Instance().Counters();
        c.inits = m_inits;
        c.uninits = m_uninits;
        c.invokes = m_invokes;
        c.exportCalls = m_exportCalls;
        c.deviceAllocations = core.allocations;
        c.deviceFrees = core.frees;
        c.deviceBadFrees = core.badFrees;
        c.deviceLive = core.live;
        c.inputsLeft = m_inputsLeft;
        c.replies = m_replyCount;
        c.replyFrees = m_replyFrees;
        c.replyBadFrees = m_replyBadFrees;
        c.openHandles = m_files.OpenHandles();
        c.openVolumes = core.openVolumes;
        c.inputsReleased = m_inputsReleased;
        c.inputsForeign = m_inputsForeign;
    }

private:
    Provider() = default;
    ~Provider() { CloseEvent(); }

    // The link event of a new initialisation, signalled after the delay.
    bool OpenEvent()
    {
#ifdef _WIN32
        m_winEvent = devsim::win::CreateLinkEvent(m_profile.linkDelayMs);
        return m_winEvent != nullptr;
#else
        m_event = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
        if (m_event < 0)
            return false;
        if (m_profile.linkDelayMs >= 0)
        {
            // A zero time would disarm the timer: at least a nanosecond.
            const long long delay = m_profile.linkDelayMs * 1000000 + 1;
            itimerspec when = {};
            when.it_value.tv_sec = static_cast<time_t>(delay / 1000000000);
            when.it_value.tv_nsec = static_cast<long>(delay % 1000000000);
            ::timerfd_settime(m_event, 0, &when, nullptr);
        }
        return true;
#endif
    }

    void CloseEvent()
    {
#ifdef _WIN32
        devsim::win::CloseLinkEvent(m_winEvent);
        m_winEvent = nullptr;
#endif
        if (m_event >= 0)
            ::close(m_event);
        m_event = -1;
    }

    std::mutex m_lock;
    std::string m_root;
    devsim::DeviceProfile m_profile;
    devsim::DeviceFiles m_files;
    int m_event = -1;
#ifdef _WIN32
    void* m_winEvent = nullptr;
#endif
    bool m_session = false;
    Clock::time_point m_initTime;
    std::set<void*> m_replies;
#ifndef _WIN32
    std::set<void*> m_inputs;
#endif
    std::uint32_t m_inits = 0;
    std::uint32_t m_uninits = 0;
    std::uint32_t m_invokes = 0;
    std::uint32_t m_exportCalls = 0;
    std::uint32_t m_inputsLeft = 0;
    std::uint32_t m_replyCount = 0;
    std::uint32_t m_replyFrees = 0;
    std::uint32_t m_replyBadFrees = 0;
    std::uint32_t m_inputsReleased = 0;
    std::uint32_t m_inputsForeign = 0;
};

// A private copy of the deployed library: the desktop rewrites the device
// file before every call, which must never change a library in use.
class LoadedLibrary
{
public:
    ~LoadedLibrary()
    {
        devsim::CloseLibrary(m_handle);
        if (!m_copy.empty())
            ::unlink(m_copy.c_str());
    }

    DWORD Load(const std::string& host)
    {
        const int source = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
        if (source < 0)
            return ERROR_MOD_NOT_FOUND;
#ifdef _WIN32
        m_copy = devsim::win::TemporaryFileName(".dll");
        const int copy = ::open(m_copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, _S_IREAD | _S_IWRITE);
        if (copy < 0)
        {
            m_copy.clear();
            ::close(source);
            return ERROR_NOT_ENOUGH_MEMORY_CODE;
        }
#else
        const char* folder = std::getenv("TMPDIR");
        std::string name = std::string(folder && *folder ? folder : "/tmp") + "/vdxrapi-XXXXXX.so";
        std::vector<char> path(name.begin(), name.end());
        path.push_back('\0');
        const int copy = ::mkstemps(path.data(), 3);
        if (copy < 0)
        {
            ::close(source);
            return ERROR_NOT_ENOUGH_MEMORY_CODE;
        }
        m_copy = path.data();
#endif
        char buffer[65536];
        bool ok = true;
        for (;;)
        {
            const ssize_t n = ::read(source, buffer, sizeof buffer);
            if (n <= 0)
            {
                ok = n == 0;
                break;
            }
            if (::write(copy, buffer, static_cast<size_t>(n)) != n)
            {
                ok = false;
                break;
            }
        }
        ::close(source);
        ::close(copy);
        if (!ok)
            return ERROR_BAD_EXE_FORMAT;
        m_handle = devsim::OpenLibrary(m_copy);
        if (!m_handle)
            return ERROR_BAD_EXE_FORMAT;
        auto attach = reinterpret_cast<VDXRAPI_ATTACH>(Symbol("CeAttachCoreLibrary"));
        if (!attach || !attach(devsim::DeviceCore::Instance().Table()))
            return ERROR_BAD_EXE_FORMAT;
        return 0;
    }

    void* Symbol(const std::string& name) { return devsim::LibrarySymbol(m_handle, name.c_str()); }

private:
    void* m_handle = nullptr;
    std::string m_copy;
};

// The profile's damage to a reply on its way to the desktop.
void DamageReply(const devsim::DeviceProfile& profile, const std::string& function,
                 std::vector<BYTE>& bytes, bool& present)
{
    if (!profile.replyFunction.empty() && profile.replyFunction != function)
        return;
    if (profile.hasReply)
    {
        bytes = profile.reply;
        present = !bytes.empty();
    }
    if (profile.replyFault == "empty")
    {
        bytes.clear();
        present = false;
    }
    else if (profile.replyFault == "unterminated" && !bytes.empty())
    {
        bytes.pop_back();
    }
    else if (profile.replyFault == "inner-zero" && !bytes.empty())
    {
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2), 0);
    }
}

HRESULT Provider::Invoke(LPCWSTR dllPath, LPCWSTR function, DWORD inputSize, const BYTE* input,
                         DWORD* outputSize, BYTE** output)
{
    ++m_invokes;
    std::string name;
    if (!function || !devsim::Utf16ToUtf8(function, name))
        name = "?";
    Log("CeRapiInvoke " + name);
    if (outputSize)
        *outputSize = 0;
    if (output)
        *output = nullptr;
    if (!LinkUp())
        return CE_E_FAIL;
    if (m_profile.invokeResult != 0)
    {
        t_lastError = static_cast<DWORD>(m_profile.invokeResult) & 0xFFFFu;
        return m_profile.invokeResult;
    }
    if (!outputSize || !output || (inputSize && !input))
    {
        t_lastError = 87;
        return E_INVALIDARG_RESULT;
    }

    std::string host;
    std::string normalized;
    DWORD error = 0;
    if (!m_files.HostPath(dllPath, host, normalized, error))
    {
        t_lastError = ERROR_MOD_NOT_FOUND;
        return FromError(ERROR_MOD_NOT_FOUND);
    }
    LoadedLibrary library;
    error = library.Load(host);
    if (error != 0)
    {
        t_lastError = error;
        return FromError(error);
    }
    auto exported = reinterpret_cast<VDXRAPI_FUNCTION>(library.Symbol(name));
    if (!exported)
    {
        t_lastError = ERROR_PROC_NOT_FOUND;
        return FromError(ERROR_PROC_NOT_FOUND);
    }

    // The remote service hands the export a device copy of the input.
    devsim::DeviceCore& core = devsim::DeviceCore::Instance();
    core.SetProfile(m_profile);
    BYTE* deviceInput = nullptr;
    if (inputSize)
    {
        deviceInput = static_cast<BYTE*>(core.LocalAlloc(0, inputSize));
        if (!deviceInput)
        {
            t_lastError = ERROR_NOT_ENOUGH_MEMORY_CODE;
            return FromError(ERROR_NOT_ENOUGH_MEMORY_CODE);
        }
        std::memcpy(deviceInput, input, inputSize);
    }
    const std::uint64_t inputSerial = core.Serial(deviceInput);
    core.BeginCall();
    DWORD replySize = 0;
    BYTE* reply = nullptr;
    ++m_exportCalls;
    const LONG result = exported(inputSize, deviceInput, &replySize, &reply, nullptr);
    // The reply may well sit where the released input was.
    if (deviceInput && core.Serial(deviceInput) == inputSerial)
    {
        ++m_inputsLeft;
        Log("input not released by " + name);
        core.LocalFree(deviceInput);
    }

    std::vector<BYTE> bytes;
    bool present = reply != nullptr;
    if (reply && core.IsLive(reply))
    {
        bytes.assign(reply, reply + replySize);
        core.LocalFree(reply);
    }
    else if (reply)
    {
        Log("reply not allocated with LocalAlloc by " + name);
        present = false;
    }
    if (result != 0)
    {
        t_lastError = static_cast<DWORD>(result);
        return result;
    }

    DamageReply(m_profile, name, bytes, present);
    if (present)
    {
        *output = NewReply(bytes);
        if (!*output)
        {
            t_lastError = ERROR_NOT_ENOUGH_MEMORY_CODE;
            return FromError(ERROR_NOT_ENOUGH_MEMORY_CODE);
        }
    }
    *outputSize = static_cast<DWORD>(bytes.size());
    return S_OK_RESULT;
}

std::string PathText(LPCWSTR path)
{
    std::string text;
    if (!path || !devsim::Utf16ToUtf8(path, text))
        return "?";
    return text;
}

// Runs one file operation under the lock, with the profile fresh and the
// link checked; the operation's error becomes CeGetLastError's.
template <typename Result, typename Operation>
Result FileCall(const std::string& line, Result failure, Operation operation)
{
    Provider& provider = Provider::Instance();
    std::lock_guard<std::mutex> lock(provider.Lock());
    provider.Refresh();
    provider.Log(line);
    if (!provider.LinkUp())
        return failure;
    DWORD error = 0;
    const Result result = operation(provider.Files(), error);
    if (result == failure)
        t_lastError = error;
    return result;
}
}

PROVIDER_API HRESULT RAPI_CALL CeRapiInitEx(RAPIINIT* init)
{
    Provider& provider = Provider::Instance();
    std::lock_guard<std::mutex> lock(provider.Lock());
    return provider.InitEx(init);
}

PROVIDER_API HRESULT RAPI_CALL CeRapiUninit()
{
    Provider& provider = Provider::Instance();
    std::lock_guard<std::mutex> lock(provider.Lock());
    return provider.Uninit();
}

PROVIDER_API DWORD RAPI_CALL CeGetLastError()
{
    return t_lastError;
}

PROVIDER_API HRESULT RAPI_CALL CeRapiGetError()
{
    return S_OK_RESULT;
}

PROVIDER_API HRESULT RAPI_CALL CeRapiInvoke(LPCWSTR dllPath, LPCWSTR functionName,
                                            DWORD inputSize, BYTE* input, DWORD* outputSize,
                                            BYTE** output, void** stream, DWORD)
{
    Provider& provider = Provider::Instance();
    std::lock_guard<std::mutex> lock(provider.Lock());
    provider.Refresh();
    HRESULT result = E_INVALIDARG_RESULT;
    if (stream)
    {
        // Only block mode is offered.
        *stream = nullptr;
        t_lastError = 50;
    }
    else
    {
        result = provider.Invoke(dllPath, functionName, inputSize, input, outputSize, output);
    }
    provider.ReleaseInput(input);
    return result;
}

PROVIDER_API HANDLE RAPI_CALL CeFindFirstFile(LPCWSTR pattern, CE_FIND_DATA* data)
{
    return FileCall("CeFindFirstFile " + PathText(pattern), CeInvalidHandle(),
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.FindFirstFile(pattern, data, error);
                    });
}

PROVIDER_API BOOL RAPI_CALL CeFindNextFile(HANDLE search, CE_FIND_DATA* data)
{
    return FileCall("CeFindNextFile", BOOL(0), [&](devsim::DeviceFiles& files, DWORD& error) {
        return files.FindNextFile(search, data, error);
    });
}

PROVIDER_API BOOL RAPI_CALL CeFindClose(HANDLE search)
{
    return FileCall("CeFindClose", BOOL(0), [&](devsim::DeviceFiles& files, DWORD& error) {
        return files.FindClose(search, error);
    });
}

PROVIDER_API HANDLE RAPI_CALL CeCreateFile(LPCWSTR path, DWORD access, DWORD share, void*,
                                           DWORD disposition, DWORD, HANDLE)
{
    return FileCall("CeCreateFile " + PathText(path), CeInvalidHandle(),
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.CreateFile(path, access, share, disposition, error);
                    });
}

PROVIDER_API BOOL RAPI_CALL CeReadFile(HANDLE file, void* buffer, DWORD size, DWORD* done, void*)
{
    return FileCall("CeReadFile " + std::to_string(size), BOOL(0),
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.ReadFile(file, buffer, size, done, error);
                    });
}

PROVIDER_API BOOL RAPI_CALL CeWriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* done,
                                        void*)
{
    return FileCall("CeWriteFile " + std::to_string(size), BOOL(0),
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.WriteFile(file, buffer, size, done, error);
                    });
}

PROVIDER_API DWORD RAPI_CALL CeGetFileSize(HANDLE file, DWORD* high)
{
    return FileCall("CeGetFileSize", CE_NO_ATTRIBUTES,
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.GetFileSize(file, high, error);
                    });
}

PROVIDER_API DWORD RAPI_CALL CeSetFilePointer(HANDLE file, LONG distance, LONG* high,
                                              DWORD method)
{
    return FileCall("CeSetFilePointer", CE_NO_ATTRIBUTES,
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.SetFilePointer(file, distance, high, method, error);
                    });
}

PROVIDER_API BOOL RAPI_CALL CeSetFileAttributes(LPCWSTR path, DWORD)
{
    return FileCall("CeSetFileAttributes " + PathText(path), BOOL(0),
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.SetFileAttributes(path, error);
                    });
}

PROVIDER_API DWORD RAPI_CALL CeGetFileAttributes(LPCWSTR path)
{
    return FileCall("CeGetFileAttributes " + PathText(path), CE_NO_ATTRIBUTES,
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.GetFileAttributes(path, error);
                    });
}

PROVIDER_API BOOL RAPI_CALL CeDeleteFile(LPCWSTR path)
{
    return FileCall("CeDeleteFile " + PathText(path), BOOL(0),
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.DeleteFile(path, error);
                    });
}

PROVIDER_API BOOL RAPI_CALL CeCloseHandle(HANDLE handle)
{
    return FileCall("CeCloseHandle", BOOL(0), [&](devsim::DeviceFiles& files, DWORD& error) {
        return files.CloseHandle(handle, error);
    });
}

PROVIDER_API BOOL RAPI_CALL CeCreateDirectory(LPCWSTR path, void*)
{
    return FileCall("CeCreateDirectory " + PathText(path), BOOL(0),
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.CreateDirectory(path, error);
                    });
}

#if !defined(DEVSIM_WITHOUT_REMOVE_DIRECTORY)
PROVIDER_API BOOL RAPI_CALL CeRemoveDirectory(LPCWSTR path)
{
    return FileCall("CeRemoveDirectory " + PathText(path), BOOL(0),
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.RemoveDirectory(path, error);
                    });
}
#endif

// Optional entries of a provider; the basic build has neither.
#if !defined(DEVSIM_WITHOUT_OPTIONAL_ENTRIES)
PROVIDER_API BOOL RAPI_CALL CeMoveFile(LPCWSTR from, LPCWSTR to)
{
    return FileCall("CeMoveFile " + PathText(from) + " " + PathText(to), BOOL(0),
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.MoveFile(from, to, error);
                    });
}

PROVIDER_API BOOL RAPI_CALL CeGetDiskFreeSpaceEx(LPCWSTR folder, std::uint64_t* freeToCaller,
                                                 std::uint64_t* total, std::uint64_t* totalFree)
{
    return FileCall("CeGetDiskFreeSpaceEx " + PathText(folder), BOOL(0),
                    [&](devsim::DeviceFiles& files, DWORD& error) {
                        return files.GetDiskFreeSpace(folder, freeToCaller, total, totalFree,
                                                      error);
                    });
}
#endif

#ifdef _WIN32
DEVSIM_API void DevSimReplyReleased(void* block, int freed)
{
    Provider& provider = Provider::Instance();
    std::lock_guard<std::mutex> lock(provider.Lock());
    provider.ReplyReleased(block, freed != 0);
}
#else
// Replies of CeRapiInvoke are released with this, and its inputs come from
// LocalAlloc, as with kernel32's own on Windows.
PROVIDER_API void* RAPI_CALL LocalFree(void* reply)
{
    Provider& provider = Provider::Instance();
    std::lock_guard<std::mutex> lock(provider.Lock());
    return provider.FreeReply(reply);
}

PROVIDER_API void* RAPI_CALL LocalAlloc(DWORD flags, std::size_t size)
{
    Provider& provider = Provider::Instance();
    std::lock_guard<std::mutex> lock(provider.Lock());
    return provider.AllocateInput(flags, size);
}
#endif

DEVSIM_API void DevSimReset()
{
    Provider& provider = Provider::Instance();
    std::lock_guard<std::mutex> lock(provider.Lock());
    provider.Reset();
}

DEVSIM_API void DevSimGetCounters(DEVSIM_COUNTERS* counters)
{
    if (!counters)
        return;
    Provider& provider = Provider::Instance();
    std::lock_guard<std::mutex> lock(provider.Lock());
    provider.Counters(*counters);
}

DEVSIM_API std::size_t DevSimGetLog(char* buffer, std::size_t size)
{
    const std::string log = devsim::DeviceCore::Instance().LogText();
    if (buffer && size)
    {
        const std::size_t n = log.size() < size - 1 ? log.size() : size - 1;
        std::memcpy(buffer, log.data(), n);
        buffer[n] = 0;
    }
    return log.size();
}
