// A read-only COM IStream over a resource of the module, so that GDI+ can decode an image
// straight from the program's resources. CMemIStreamImpl implements IStream over the position,
// size, data pointer and resource handle of its derived class; CResStream finds and locks the
// resource. No reference counting: the owner controls the lifetime (normally one paint pass).
#pragma once
#include <windows.h>
#include <objidl.h>

template <class T>
class CMemIStreamImpl : public IStream {
public:
    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream)) {
            *ppv = static_cast<IStream*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // ISequentialStream
    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override
    {
        T* self = static_cast<T*>(this);
        ULONG count = 0;
        if (self->IsValid() && pv && self->m_nPos < self->m_nSize) {
            const ULONG left = static_cast<ULONG>(self->m_nSize - self->m_nPos);
            count = cb < left ? cb : left;
            ::CopyMemory(pv, static_cast<const BYTE*>(self->m_pData) + self->m_nPos, count);
            self->m_nPos += static_cast<int>(count);
        }
        if (pcbRead)
            *pcbRead = count;
        return S_OK;
    }
    STDMETHODIMP Write(const void*, ULONG, ULONG* pcbWritten) override
    {
        if (pcbWritten)
            *pcbWritten = 0;
        return S_OK;
    }

    // IStream
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) override
    {
        T* self = static_cast<T*>(this);
        const LONGLONG delta = move.QuadPart;
        if (delta < -0x80000000LL || delta > 0x7FFFFFFFLL)
            return E_NOTIMPL;
        LONGLONG target = 0;
        if (self->IsValid()) {
            if (origin == STREAM_SEEK_CUR)
                target = self->m_nPos + delta;
            else if (origin == STREAM_SEEK_END)
                target = self->m_nSize + delta;
            else
                target = delta;
            if (target < 0)
                target = 0;
            if (target > self->m_nSize)
                target = self->m_nSize;
        }
        self->m_nPos = static_cast<int>(target);
        if (newPos)
            newPos->QuadPart = static_cast<ULONGLONG>(target);
        return S_OK;
    }
    STDMETHODIMP Stat(STATSTG* stat, DWORD) override
    {
        if (!stat)
            return E_POINTER;
        ::ZeroMemory(stat, sizeof(*stat));
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = static_cast<ULONGLONG>(static_cast<T*>(this)->m_nSize);
        return S_OK;
    }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

    virtual ~CMemIStreamImpl() = default;
};

// A stream over the resource with the given id, of type "GIF" when isGif is set, else "PNG".
class CResStream : public CMemIStreamImpl<CResStream> {
public:
    CResStream(int resourceId, bool isGif);
    CResStream(const CResStream&) = delete;
    CResStream& operator=(const CResStream&) = delete;

    bool IsValid() const { return m_hRes != nullptr && m_pData != nullptr; }

    int m_nPos = 0;
    HRSRC m_hRes = nullptr;
    int m_nSize = 0;
    HGLOBAL m_hGlobal = nullptr;
    const void* m_pData = nullptr;
    bool m_bGif = false;
};
