// CTalkInterface as a client built with Microsoft's compiler calls it.
//
// The help client that loads this library uses the MSVC C++ ABI: its own name decoration,
// thiscall on x86, constructors that return `this`, and a vtable whose only slot is a deleting
// destructor that `delete p` calls as vtable[0](p, 1) and that frees the block with the client's
// C runtime. GCC's exports follow the Itanium ABI instead (void constructors, two destructor
// slots, operator delete from MinGW's msvcrt heap). These entry points give the MSVC client the
// same members; msvcabi-<arch>.def binds them to the decorated names. Both ABIs lay the object
// out alike (vptr, m_pInterface, m_hNotifyWnd), so only the vptr tells the two kinds apart.
#include "voice/vocalis.h"

#include "voice/loghook.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#if defined(__i386__)
#define MSVC_MEMBER __attribute__((thiscall))
#else
#define MSVC_MEMBER  // x86_64 has one calling convention: `this` comes first, in RCX
#endif

static_assert(sizeof(CTalkInterface) == 3 * sizeof(void*),
              "the client compiles against vptr, m_pInterface, m_hNotifyWnd and nothing else");

extern "C" {
void* MSVC_MEMBER msvcabi_deleting_dtor(CTalkInterface* self, unsigned flags);
// The vtable an object constructed through the MSVC constructors carries.
extern void* const msvcabi_vftable[1];
void* const msvcabi_vftable[1] = {reinterpret_cast<void*>(&msvcabi_deleting_dtor)};
}

namespace {

const unsigned kDeleteFree = 1;   // free the memory after destroying
const unsigned kDeleteArray = 2;  // `this` is the first element of a new[] array

typedef void(__cdecl* FreeFunc)(void*);
typedef intptr_t(__cdecl* HeapHandleFunc)();

// A /MD client's `new` allocates from the universal C runtime, so its `delete` must free there
// too; MinGW's own free works on another heap and would leak the block. The runtime is already
// loaded wherever such a block exists; without it nothing is freed rather than the wrong heap.
// A debug runtime's `new` (/MDd, /MTd) hands out an address behind a header of its own, which
// is no block start of that heap: freeing it would corrupt the heap, so such a block is left
// allocated (a few bytes lost) and logged.
void FreeClientBlock(void* pBlock)
{
    HMODULE hCrt = GetModuleHandleW(L"ucrtbase.dll");
    if (!hCrt)
        return;
    FreeFunc pfnFree = reinterpret_cast<FreeFunc>(GetProcAddress(hCrt, "free"));
    HeapHandleFunc pfnHeap =
        reinterpret_cast<HeapHandleFunc>(GetProcAddress(hCrt, "_get_heap_handle"));
    HANDLE hHeap = pfnHeap ? reinterpret_cast<HANDLE>(pfnHeap()) : GetProcessHeap();
    if (pfnFree && HeapValidate(hHeap, 0, pBlock)) {
        pfnFree(pBlock);
        return;
    }
    VoiceLogFormat("CTalkInterface: block %p is no block of ucrtbase.dll's heap, left allocated",
                   pBlock);
}

void UseMsvcVtable(CTalkInterface* self)
{
    const void* pVtable = msvcabi_vftable;
    std::memcpy(static_cast<void*>(self), &pVtable, sizeof(pVtable));
}

// The class's own destructor, called directly: a virtual call would go through the MSVC vtable.
void Destroy(CTalkInterface* self)
{
    self->CTalkInterface::~CTalkInterface();
}

}  // namespace

extern "C" {

CTalkInterface* MSVC_MEMBER msvcabi_construct(CTalkInterface* self, HWND hNotifyWnd)
{
    new (self) CTalkInterface(hNotifyWnd);
    UseMsvcVtable(self);
    return self;
}

CTalkInterface* MSVC_MEMBER msvcabi_copy(CTalkInterface* self, const CTalkInterface* other)
{
    new (self) CTalkInterface(*other);
    UseMsvcVtable(self);
    return self;
}

void MSVC_MEMBER msvcabi_destroy(CTalkInterface* self)
{
    Destroy(self);
}

// Slot 0 of the vtable; returns the start of the block, as MSVC's deleting destructors do.
void* MSVC_MEMBER msvcabi_deleting_dtor(CTalkInterface* self, unsigned flags)
{
    if (flags & kDeleteArray) {
        // new[] stores the element count just in front of the first element.
        std::size_t* pCount = reinterpret_cast<std::size_t*>(self) - 1;
        for (std::size_t i = *pCount; i > 0; --i)
            Destroy(self + i - 1);
        if (flags & kDeleteFree)
            FreeClientBlock(pCount);
        return pCount;
    }
    Destroy(self);
    if (flags & kDeleteFree)
        FreeClientBlock(self);
    return self;
}

CTalkInterface* MSVC_MEMBER msvcabi_assign(CTalkInterface* self, const CTalkInterface* other)
{
    return &(*self = *other);  // copies the members; each object keeps its own vptr
}

int MSVC_MEMBER msvcabi_init(CTalkInterface* self)
{
    return self->Init();
}

int MSVC_MEMBER msvcabi_start(CTalkInterface* self, const char* host, int tcpPort, int udpPort)
{
    return self->Start(host, tcpPort, udpPort);
}

void MSVC_MEMBER msvcabi_enable_sound(CTalkInterface* self, int enable)
{
    self->EnableSound(enable);
}

int MSVC_MEMBER msvcabi_end(CTalkInterface* self)
{
    return self->End();
}

}  // extern "C"
