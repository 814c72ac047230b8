// Test doubles of the Direct3D device and surface: plain tables of methods, so a test scripts
// only the calls the screen makes (any other call crashes the test). Include this first: the
// C form of the interfaces exposes the method tables by name.
#pragma once

#ifndef CINTERFACE
#define CINTERFACE
#endif
#include <windows.h>
#include <d3d9.h>

#include <string>
#include <vector>

// A surface that logs its calls ("GetDC", "ReleaseDC", "LockRect", "UnlockRect") and answers
// them as scripted.
struct SurfaceDouble {
    struct Object {
        IDirect3DSurface9 com;
        SurfaceDouble* owner;
    } object;
    IDirect3DSurface9Vtbl table;
    std::vector<std::string> calls;
    LONG references = 1;
    HDC dc = reinterpret_cast<HDC>(0x1234);
    HRESULT getDCResult = D3D_OK;
    HRESULT lockResult = D3D_OK;
    int pixels[4] = {};
    INT pitch = 256;
    bool dcOut = false;  // a DC is lent
    bool locked = false; // the memory is locked
    int overlaps = 0;    // calls that would hold the DC and the lock together

    SurfaceDouble();
    SurfaceDouble(const SurfaceDouble&) = delete;
    IDirect3DSurface9* get() { return &object.com; }
};

// A device whose cooperative level follows a script (its last entry repeats), and whose Reset,
// GetBackBuffer and Present answer as set.
struct DeviceDouble {
    struct Object {
        IDirect3DDevice9 com;
        DeviceDouble* owner;
    } object;
    IDirect3DDevice9Vtbl table;
    std::vector<HRESULT> levels = {D3D_OK};
    size_t levelCalls = 0;
    HRESULT resetResult = D3D_OK;
    int resets = 0;
    const D3DPRESENT_PARAMETERS* resetParams = nullptr;
    IDirect3DSurface9* nextBackBuffer = nullptr; // handed out, with a reference, by GetBackBuffer
    int backBufferFetches = 0;
    HRESULT presentResult = D3D_OK;
    int presents = 0;
    RECT presentSource = {}, presentDestination = {};

    DeviceDouble();
    DeviceDouble(const DeviceDouble&) = delete;
    IDirect3DDevice9* get() { return &object.com; }
};

namespace doubles {

inline SurfaceDouble* Of(IDirect3DSurface9* self) {
    return reinterpret_cast<SurfaceDouble::Object*>(self)->owner;
}
inline DeviceDouble* Of(IDirect3DDevice9* self) {
    return reinterpret_cast<DeviceDouble::Object*>(self)->owner;
}

inline ULONG STDMETHODCALLTYPE SurfaceAddRef(IDirect3DSurface9* self) {
    return ++Of(self)->references;
}
inline ULONG STDMETHODCALLTYPE SurfaceRelease(IDirect3DSurface9* self) {
    return --Of(self)->references;
}
inline HRESULT STDMETHODCALLTYPE SurfaceGetDC(IDirect3DSurface9* self, HDC* dc) {
    SurfaceDouble* d = Of(self);
    d->calls.push_back("GetDC");
    if (FAILED(d->getDCResult))
        return d->getDCResult;
    d->overlaps += d->locked || d->dcOut;
    d->dcOut = true;
    *dc = d->dc;
    return D3D_OK;
}
inline HRESULT STDMETHODCALLTYPE SurfaceReleaseDC(IDirect3DSurface9* self, HDC dc) {
    SurfaceDouble* d = Of(self);
    d->calls.push_back(dc == d->dc && d->dcOut ? "ReleaseDC" : "ReleaseDC of no lent DC");
    d->dcOut = false;
    return D3D_OK;
}
inline HRESULT STDMETHODCALLTYPE SurfaceLockRect(IDirect3DSurface9* self, D3DLOCKED_RECT* locked,
                                                 const RECT* area, DWORD flags) {
    SurfaceDouble* d = Of(self);
    d->calls.push_back(area || flags ? "LockRect of a part" : "LockRect");
    if (FAILED(d->lockResult))
        return d->lockResult;
    d->overlaps += d->locked || d->dcOut;
    d->locked = true;
    locked->pBits = d->pixels;
    locked->Pitch = d->pitch;
    return D3D_OK;
}
inline HRESULT STDMETHODCALLTYPE SurfaceUnlockRect(IDirect3DSurface9* self) {
    SurfaceDouble* d = Of(self);
    d->calls.push_back(d->locked ? "UnlockRect" : "UnlockRect while not locked");
    d->locked = false;
    return D3D_OK;
}

inline HRESULT STDMETHODCALLTYPE DeviceTestCooperativeLevel(IDirect3DDevice9* self) {
    DeviceDouble* d = Of(self);
    size_t i = d->levelCalls < d->levels.size() ? d->levelCalls : d->levels.size() - 1;
    ++d->levelCalls;
    return d->levels[i];
}
inline HRESULT STDMETHODCALLTYPE DeviceReset(IDirect3DDevice9* self,
                                             D3DPRESENT_PARAMETERS* params) {
    DeviceDouble* d = Of(self);
    ++d->resets;
    d->resetParams = params;
    return d->resetResult;
}
inline HRESULT STDMETHODCALLTYPE DeviceGetBackBuffer(IDirect3DDevice9* self, UINT swapChain,
                                                     UINT index, D3DBACKBUFFER_TYPE type,
                                                     IDirect3DSurface9** out) {
    DeviceDouble* d = Of(self);
    ++d->backBufferFetches;
    if (swapChain != 0 || index != 0 || type != D3DBACKBUFFER_TYPE_MONO || !d->nextBackBuffer)
        return D3DERR_INVALIDCALL;
    *out = d->nextBackBuffer;
    SurfaceAddRef(*out);
    return D3D_OK;
}
inline HRESULT STDMETHODCALLTYPE DevicePresent(IDirect3DDevice9* self, const RECT* source,
                                               const RECT* destination, HWND, const RGNDATA*) {
    DeviceDouble* d = Of(self);
    ++d->presents;
    d->presentSource = *source;
    d->presentDestination = *destination;
    return d->presentResult;
}

} // namespace doubles

inline SurfaceDouble::SurfaceDouble() : table{} {
    object.com.lpVtbl = &table;
    object.owner = this;
    table.AddRef = doubles::SurfaceAddRef;
    table.Release = doubles::SurfaceRelease;
    table.GetDC = doubles::SurfaceGetDC;
    table.ReleaseDC = doubles::SurfaceReleaseDC;
    table.LockRect = doubles::SurfaceLockRect;
    table.UnlockRect = doubles::SurfaceUnlockRect;
}

inline DeviceDouble::DeviceDouble() : table{} {
    object.com.lpVtbl = &table;
    object.owner = this;
    table.TestCooperativeLevel = doubles::DeviceTestCooperativeLevel;
    table.Reset = doubles::DeviceReset;
    table.GetBackBuffer = doubles::DeviceGetBackBuffer;
    table.Present = doubles::DevicePresent;
}
