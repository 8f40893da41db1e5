// vdxrapi's exports on arbitrary inputs and arbitrary answers of the device
// (identity and storage records, OEM and map texts, failed allocations): no
// overrun, no crash, the input released exactly once (except where a reply
// place is missing), and replies within their limits.
#include "devicelib/vdxrapi.h"
#include "devicesim/devicecore.h"
#include "devicesim/profile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
struct Export
{
    VDXRAPI_FUNCTION function;
    DWORD largestReply;
    bool keepsInputWithoutPlaces;
};

const Export EXPORTS[] = {
    {VDXGetDeviceID, 512, true},
    {VDXGetCardID, 64, true},
    {VDXGetDiskSize, 8, true},
    {VDXGetMapVender, 128, false},
    {VDXGetMapExtra, 128, false},
    {VDXSoftReset, 0, false},
    {VDXStopApplication, 0, false},
};

std::vector<std::uint8_t> Bytes(FuzzedDataProvider& data, std::size_t most)
{
    return data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(0, most));
}

void Fail(int line)
{
    std::fprintf(stderr, "check failed at line %d\n", line);
    std::abort();
}
}

#define Check(condition) ((condition) ? (void)0 : Fail(__LINE__))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    devsim::DeviceCore& core = devsim::DeviceCore::Instance();
    static const bool attached = CeAttachCoreLibrary(core.Table());
    Check(attached);
    core.Reset();

    FuzzedDataProvider data(bytes, size);
    const Export& exported = EXPORTS[data.ConsumeIntegralInRange<std::size_t>(0, 6)];
    const int places = data.ConsumeIntegralInRange<int>(0, 3);
    const bool cardFolderInput = data.ConsumeBool();

    devsim::DeviceProfile profile;
    profile.vendorCodes = data.ConsumeBool();
    profile.cardQueryFirstFails = data.ConsumeBool();
    profile.hasDeviceIdRecord = data.ConsumeBool();
    profile.deviceIdRecord = Bytes(data, 700);
    profile.deviceIdError = data.ConsumeBool() ? data.ConsumeIntegralInRange<DWORD>(0, 130) : 0;
    profile.cardFolder = "/SD";
    profile.hasCardRecord = data.ConsumeBool();
    profile.cardRecord = Bytes(data, 200);
    profile.cardFlags = data.ConsumeIntegral<std::uint32_t>();
    profile.cardManufacturer = data.ConsumeRandomLengthString(150);
    profile.cardSerial = data.ConsumeRandomLengthString(150);
    profile.hasOemInfo = data.ConsumeBool();
    profile.oemInfo = data.ConsumeBool() ? std::string("TR518") : data.ConsumeRandomLengthString(120);
    profile.mapExtra = data.ConsumeRandomLengthString(100);
    profile.mapVender = data.ConsumeRandomLengthString(100);
    profile.diskTotal = data.ConsumeIntegral<std::uint64_t>();
    profile.diskFree = data.ConsumeIntegral<std::uint64_t>();
    profile.diskError = data.ConsumeBool() ? data.ConsumeIntegralInRange<DWORD>(0, 50) : 0;
    profile.windows = {"Nav"};
    profile.allocFail = data.ConsumeIntegralInRange<std::uint32_t>(0, 3);

    std::vector<std::uint8_t> input;
    if (cardFolderInput)
        input = {'/', 0, 'S', 0, 'D', 0, 0, 0};
    else
        input = data.ConsumeRemainingBytes<std::uint8_t>();
    const bool giveInput = !input.empty() || data.ConsumeBool();
    const DWORD inputSize = static_cast<DWORD>(input.size());

    // The remote service's copy of the input is made before the export's
    // own allocations start to fail.
    core.SetProfile(devsim::DeviceProfile());
    BYTE* block = nullptr;
    if (giveInput)
    {
        block = static_cast<BYTE*>(core.LocalAlloc(0, inputSize));
        Check(block != nullptr);
        if (inputSize)
            std::memcpy(block, input.data(), inputSize);
    }
    const std::uint64_t serial = core.Serial(block);
    const std::uint32_t badFrees = core.Counters().badFrees;
    core.SetProfile(profile);

    DWORD replySize = 0xDEAD;
    BYTE* reply = reinterpret_cast<BYTE*>(8);
    core.BeginCall();
    const LONG result = exported.function(inputSize, block, places & 1 ? nullptr : &replySize,
                                          places & 2 ? nullptr : &reply, nullptr);
    Check(core.Counters().badFrees == badFrees);

    const bool released = !block || core.Serial(block) != serial;
    const bool missingPlace = places != 0;
    if (!released)
    {
        // Only the early refusals may keep the input.
        Check(result == VDXRAPI_NO_PLACE
              && ((missingPlace && exported.keepsInputWithoutPlaces)
                  || exported.function == VDXStopApplication));
        core.LocalFree(block);
    }
    if (places == 0)
    {
        if (reply)
        {
            Check(core.IsLive(reply));
            Check(result == 0);
            Check(replySize > 0 && replySize <= exported.largestReply);
            // Text replies end with their terminator.
            if (exported.function == VDXGetDeviceID || exported.function == VDXGetCardID)
                Check(std::memchr(reply, 0, replySize) == reply + replySize - 1);
            core.LocalFree(reply);
        }
        else
        {
            Check(replySize == 0);
        }
    }
    Check(core.Counters().live == 0);
    return 0;
}
