#pragma once
// For the DirectX 7 driver tests: a DirectDraw surface in front of a real
// one, to which it passes every call, logging each by name, except those a
// test scripts to fail once (Flip answering DDERR_SURFACELOST, say).

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <ddraw.h>

#include <map>
#include <string>
#include <vector>

class ForwardingSurface : public IDirectDrawSurface7 {
 public:
  explicit ForwardingSurface(IDirectDrawSurface7* inner) : inner(inner) {}

  int Count(const std::string& name) const {
    int count = 0;
    for (const std::string& call : calls) count += call == name;
    return count;
  }

  IDirectDrawSurface7* inner;  // released with this one
  std::vector<std::string> calls;
  std::map<std::string, HRESULT> failOnce;

  // The surface lives as long as its test keeps it.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    return inner->QueryInterface(id, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return inner->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return inner->Release(); }

#define ZORP_FORWARD(NAME, PARAMETERS, ARGUMENTS)              \
  HRESULT STDMETHODCALLTYPE NAME PARAMETERS override {         \
    const HRESULT failure = Pass(#NAME);                       \
    return failure != DD_OK ? failure : inner->NAME ARGUMENTS; \
  }
  ZORP_FORWARD(AddAttachedSurface, (IDirectDrawSurface7 * a), (a))
  ZORP_FORWARD(AddOverlayDirtyRect, (RECT * a), (a))
  ZORP_FORWARD(Blt, (RECT * a, IDirectDrawSurface7* b, RECT* c, DWORD d, DDBLTFX* e),
               (a, b, c, d, e))
  ZORP_FORWARD(BltBatch, (DDBLTBATCH * a, DWORD b, DWORD c), (a, b, c))
  ZORP_FORWARD(BltFast, (DWORD a, DWORD b, IDirectDrawSurface7* c, RECT* d, DWORD e),
               (a, b, c, d, e))
  ZORP_FORWARD(DeleteAttachedSurface, (DWORD a, IDirectDrawSurface7* b), (a, b))
  ZORP_FORWARD(EnumAttachedSurfaces, (void* a, LPDDENUMSURFACESCALLBACK7 b), (a, b))
  ZORP_FORWARD(EnumOverlayZOrders, (DWORD a, void* b, LPDDENUMSURFACESCALLBACK7 c), (a, b, c))
  ZORP_FORWARD(Flip, (IDirectDrawSurface7 * a, DWORD b), (a, b))
  ZORP_FORWARD(GetAttachedSurface, (DDSCAPS2 * a, IDirectDrawSurface7** b), (a, b))
  ZORP_FORWARD(GetBltStatus, (DWORD a), (a))
  ZORP_FORWARD(GetCaps, (DDSCAPS2 * a), (a))
  ZORP_FORWARD(GetClipper, (IDirectDrawClipper * *a), (a))
  ZORP_FORWARD(GetColorKey, (DWORD a, DDCOLORKEY* b), (a, b))
  ZORP_FORWARD(GetDC, (HDC * a), (a))
  ZORP_FORWARD(GetFlipStatus, (DWORD a), (a))
  ZORP_FORWARD(GetOverlayPosition, (LONG * a, LONG* b), (a, b))
  ZORP_FORWARD(GetPalette, (IDirectDrawPalette * *a), (a))
  ZORP_FORWARD(GetPixelFormat, (DDPIXELFORMAT * a), (a))
  ZORP_FORWARD(GetSurfaceDesc, (DDSURFACEDESC2 * a), (a))
  ZORP_FORWARD(Initialize, (IDirectDraw * a, DDSURFACEDESC2* b), (a, b))
  ZORP_FORWARD(IsLost, (), ())
  ZORP_FORWARD(Lock, (RECT * a, DDSURFACEDESC2* b, DWORD c, HANDLE d), (a, b, c, d))
  ZORP_FORWARD(ReleaseDC, (HDC a), (a))
  ZORP_FORWARD(Restore, (), ())
  ZORP_FORWARD(SetClipper, (IDirectDrawClipper * a), (a))
  ZORP_FORWARD(SetColorKey, (DWORD a, DDCOLORKEY* b), (a, b))
  ZORP_FORWARD(SetOverlayPosition, (LONG a, LONG b), (a, b))
  ZORP_FORWARD(SetPalette, (IDirectDrawPalette * a), (a))
  ZORP_FORWARD(Unlock, (RECT * a), (a))
  ZORP_FORWARD(UpdateOverlay, (RECT * a, IDirectDrawSurface7* b, RECT* c, DWORD d, DDOVERLAYFX* e),
               (a, b, c, d, e))
  ZORP_FORWARD(UpdateOverlayDisplay, (DWORD a), (a))
  ZORP_FORWARD(UpdateOverlayZOrder, (DWORD a, IDirectDrawSurface7* b), (a, b))
  ZORP_FORWARD(GetDDInterface, (void** a), (a))
  ZORP_FORWARD(PageLock, (DWORD a), (a))
  ZORP_FORWARD(PageUnlock, (DWORD a), (a))
  ZORP_FORWARD(SetSurfaceDesc, (DDSURFACEDESC2 * a, DWORD b), (a, b))
  ZORP_FORWARD(SetPrivateData, (REFGUID a, void* b, DWORD c, DWORD d), (a, b, c, d))
  ZORP_FORWARD(GetPrivateData, (REFGUID a, void* b, DWORD* c), (a, b, c))
  ZORP_FORWARD(FreePrivateData, (REFGUID a), (a))
  ZORP_FORWARD(GetUniquenessValue, (DWORD * a), (a))
  ZORP_FORWARD(ChangeUniquenessValue, (), ())
  ZORP_FORWARD(SetPriority, (DWORD a), (a))
  ZORP_FORWARD(GetPriority, (DWORD * a), (a))
  ZORP_FORWARD(SetLOD, (DWORD a), (a))
  ZORP_FORWARD(GetLOD, (DWORD * a), (a))
#undef ZORP_FORWARD

 private:
  // Logs the call; its scripted failure, or 0 (DD_OK) to pass it on.
  HRESULT Pass(const char* name) {
    calls.emplace_back(name);
    const auto failure = failOnce.find(name);
    if (failure == failOnce.end()) return DD_OK;
    const HRESULT result = failure->second;
    failOnce.erase(failure);
    return result;
  }
};
