#include "resolve_probe.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>

namespace {

using Resolver = hostent*(WSAAPI*)(const char*);

Resolver g_pfnReal = nullptr;
std::atomic<long> g_nCalls{0};

hostent* WSAAPI CountingResolver(const char* pszName)
{
    ++g_nCalls;
    return g_pfnReal(pszName);
}

// The import address slot of ws2_32.dll!gethostbyname in this program, or null.
ULONG_PTR* ResolverSlot()
{
    auto* pBase = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* pDos = reinterpret_cast<IMAGE_DOS_HEADER*>(pBase);
    auto* pNt = reinterpret_cast<IMAGE_NT_HEADERS*>(pBase + pDos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* pImport = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(pBase + dir.VirtualAddress);
    for (; pImport->Name; ++pImport) {
        if (lstrcmpiA(reinterpret_cast<char*>(pBase + pImport->Name), "ws2_32.dll") != 0)
            continue;
        auto* pName = reinterpret_cast<IMAGE_THUNK_DATA*>(pBase + pImport->OriginalFirstThunk);
        auto* pSlot = reinterpret_cast<IMAGE_THUNK_DATA*>(pBase + pImport->FirstThunk);
        for (; pName->u1.AddressOfData; ++pName, ++pSlot) {
            if (IMAGE_SNAP_BY_ORDINAL(pName->u1.Ordinal))
                continue;
            auto* pByName =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(pBase + pName->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<char*>(pByName->Name), "gethostbyname") == 0)
                return reinterpret_cast<ULONG_PTR*>(&pSlot->u1.Function);
        }
    }
    return nullptr;
}

}  // namespace

namespace resolveprobe {

bool Install()
{
    if (g_pfnReal)
        return true;
    ULONG_PTR* pSlot = ResolverSlot();
    if (!pSlot)
        return false;
    DWORD dwOld = 0;
    if (!VirtualProtect(pSlot, sizeof *pSlot, PAGE_READWRITE, &dwOld))
        return false;
    g_pfnReal = reinterpret_cast<Resolver>(*pSlot);
    *pSlot = reinterpret_cast<ULONG_PTR>(&CountingResolver);
    VirtualProtect(pSlot, sizeof *pSlot, dwOld, &dwOld);
    return true;
}

long Calls()
{
    return g_nCalls.load();
}

}  // namespace resolveprobe
