#include "localfreewatch.h"

#include <windows.h>

#include <atomic>
#include <cstring>

namespace
{
typedef HLOCAL(WINAPI* LocalFreeFn)(HLOCAL);

std::atomic<LocalFreeFn> g_realLocalFree{nullptr};
std::atomic<LocalFreeObserver> g_observer{nullptr};

HLOCAL WINAPI WatchedLocalFree(HLOCAL block)
{
    const HLOCAL result = g_realLocalFree.load()(block);
    if (block)
    {
        if (const LocalFreeObserver observer = g_observer.load())
            observer(block, result == nullptr);
    }
    return result;
}

// The program's import address table slot of KERNEL32.dll's LocalFree.
ULONG_PTR* FindImportSlot()
{
    BYTE* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory
        = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress)
        return nullptr;
    for (auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name; ++import)
    {
        if (::lstrcmpiA(reinterpret_cast<const char*>(base + import->Name), "KERNEL32.dll") != 0
            || !import->OriginalFirstThunk)
            continue;
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots)
        {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "LocalFree") == 0)
                return reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
        }
    }
    return nullptr;
}
}

bool WatchLocalFree(LocalFreeObserver observer)
{
    g_observer = observer;
    if (g_realLocalFree.load())
        return true;
    ULONG_PTR* slot = FindImportSlot();
    if (!slot)
        return false;
    DWORD protection = 0;
    if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection))
        return false;
    g_realLocalFree = reinterpret_cast<LocalFreeFn>(*slot);
    *slot = reinterpret_cast<ULONG_PTR>(&WatchedLocalFree);
    ::VirtualProtect(slot, sizeof *slot, protection, &protection);
    return true;
}
