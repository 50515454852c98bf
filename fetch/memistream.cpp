#include "fetch/memistream.h"

#include "framework/window.h"

CResStream::CResStream(int resourceId, bool isGif) : m_bGif(isGif)
{
    HINSTANCE module = ModuleInstance();
    HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId), isGif ? L"GIF" : L"PNG");
    if (!res)
        return;
    const DWORD size = ::SizeofResource(module, res);
    HGLOBAL loaded = ::LoadResource(module, res);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data || size > 0x7FFFFFFF)
        return;
    m_hRes = res;
    m_nSize = static_cast<int>(size);
    m_hGlobal = loaded;
    m_pData = data;
}
