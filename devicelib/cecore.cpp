// The link to the core library in builds that are not for Windows CE.
#include "devicelib/vdxrapi.h"

#include <atomic>

namespace
{
std::atomic<const CE_CORE_LIBRARY*> s_core{nullptr};
}

const CE_CORE_LIBRARY* CeCoreLibrary()
{
    return s_core.load(std::memory_order_acquire);
}

VDXRAPI_EXPORT BOOL CeAttachCoreLibrary(const CE_CORE_LIBRARY* core)
{
    if (!core || core->cbSize < sizeof(CE_CORE_LIBRARY))
        return FALSE;
    s_core.store(core, std::memory_order_release);
    return TRUE;
}
