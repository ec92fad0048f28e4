#include "graphics/dx7/dx7_context.h"

#include <string>

#include "runtime/runtime_error.h"
#include "system/system_driver.h"
#include "system/win32/win32_translate.h"
#include "system/win32/win32_window_class.h"

namespace {

constexpr char WINDOW_CLASS[] = "ZorpDX7Display";
constexpr DWORD COOPERATE_FULLSCREEN = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_FPUSETUP;
constexpr DWORD COOPERATE_NORMAL = DDSCL_NORMAL | DDSCL_FPUSETUP;

// The context whose window this is: there is one window at a time.
TDX7Context* windowOwner = nullptr;

template <class T>
void ReleaseCom(T*& object) {
  if (!object) return;
  object->Release();
  object = nullptr;
}

[[noreturn]] void Fail(const char* what, HRESULT result) {
  throw RuntimeError(String((what + std::to_string(static_cast<long>(result))).c_str()));
}

HRESULT WINAPI EnumerateMode(DDSURFACEDESC2* mode, void* context) {
  static_cast<TDX7Context*>(context)->AddMode(
      static_cast<int>(mode->dwWidth), static_cast<int>(mode->dwHeight),
      static_cast<int>(mode->ddpfPixelFormat.dwRGBBitCount), static_cast<int>(mode->dwRefreshRate));
  return DDENUMRET_OK;
}

// The devices are only looked at: the device made is the hardware one.
HRESULT WINAPI EnumerateDevice(char*, char*, D3DDEVICEDESC7*, void*) { return D3DENUMRET_OK; }

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TranslateWindowMessage(window, message, wParam, lParam, nullptr);
  TDX7Context* context = windowOwner && windowOwner->window == window ? windowOwner : nullptr;
  if (!context) return DefWindowProcA(window, message, wParam, lParam);
  if (HandleDisplayWindowMessage(window, message, wParam, context->FullScreen())) return 0;
  switch (message) {
    case WM_SETFOCUS:
      context->OnFocus();
      return 0;
    case WM_KILLFOCUS:
      context->OnKillFocus();
      return 0;
    case WM_DESTROY:
    case WM_KEYDOWN:
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// Registered once: later windows use the class registered first.
void RegisterWindowClass() {
  static bool registered = false;
  if (registered) return;
  if (!RegisterWin32WindowClass(WINDOW_CLASS, WindowProcedure, 0)) {
    throw RuntimeError("Failed to register window class");
  }
  registered = true;
}

}  // namespace

DDPIXELFORMAT Bgra32PixelFormat() {
  DDPIXELFORMAT format{};
  format.dwSize = sizeof format;
  format.dwFlags = DDPF_RGB | DDPF_ALPHAPIXELS;
  format.dwRGBBitCount = 32;
  format.dwRBitMask = 0xFF0000;
  format.dwGBitMask = 0xFF00;
  format.dwBBitMask = 0xFF;
  format.dwRGBAlphaBitMask = 0xFF000000;
  return format;
}

void (*DirectDrawFunction(const char* name))() {
  // Never a ddraw.dll lying beside the program or in the current folder.
  static const HMODULE library =
      LoadLibraryExA("ddraw.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!library) return nullptr;
  // Through void (*)(), which matches every function type.
  return reinterpret_cast<void (*)()>(GetProcAddress(library, name));
}

TDX7Context::TDX7Context(const GUID* guid, String name, String description)
    : name(std::move(name)), description(std::move(description)) {
  if (guid) {
    this->guid = *guid;
    primaryDriver = false;
  }
}

IDirect3DDevice7* TDX7Context::SetListener(TDX7DeviceListener* newListener) {
  if ((state & DX7_LOST) || !device) return nullptr;
  listener = newListener;
  return device;
}

void TDX7Context::AddMode(int modeWidth, int modeHeight, int bits, int modeHz) {
  if (bits <= 15) return;
  modes.push_back(New<TGraphicsMode>(modeWidth, modeHeight, bits, modeHz));
}

void TDX7Context::Startup() {
  using CreateEx = HRESULT(WINAPI*)(GUID*, void**, REFIID, IUnknown*);
  const auto create = reinterpret_cast<CreateEx>(DirectDrawFunction("DirectDrawCreateEx"));
  HRESULT result = create ? create(primaryDriver ? nullptr : &guid,
                                   reinterpret_cast<void**>(&directDraw), IID_IDirectDraw7, nullptr)
                          : E_FAIL;
  if (FAILED(result)) Fail("DirectDrawCreateEx failed:", result);
  result = directDraw->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&direct3D));
  if (FAILED(result)) Fail("Direct3D7 Interface Failed:", result);
  direct3D->EnumDevices(EnumerateDevice, this);
  directDraw->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, this, EnumerateMode);
}

void TDX7Context::Tell(bool restored) {
  if (!listener) return;
  if (restored) {
    listener->DeviceRestored(*this);
  } else {
    listener->DeviceLost(*this);
  }
}

void TDX7Context::OnFocus() {
  if (FullScreen() && (state & DX7_LOST)) RestoreDevice();
}

void TDX7Context::OnKillFocus() {
  if (!FullScreen() || (state & DX7_LOST)) return;
  directDraw->SetCooperativeLevel(window, COOPERATE_NORMAL);
  ShowWindow(window, SW_MINIMIZE);
  state |= DX7_LOST;
  Tell(false);
}

void TDX7Context::RestoreDevice() {
  if (!FullScreen()) return;
  directDraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                             static_cast<DWORD>(depth), static_cast<DWORD>(hz), 0);
  directDraw->SetCooperativeLevel(window, COOPERATE_FULLSCREEN);
  if (primarySurface) primarySurface->Restore();
  if (backBuffer) backBuffer->Restore();
  state &= ~DX7_LOST;
  if (device) device->BeginScene();
  Tell(true);
}

void TDX7Context::MakeWindow(DWORD style, int x, int y, int outerWidth, int outerHeight) {
  RegisterWindowClass();
  window = CreateWindowExA(0, WINDOW_CLASS, AppTitle().ToBytes().c_str(), style, x, y, outerWidth,
                           outerHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window) throw RuntimeError("Failed to create window");
  windowOwner = this;
}

void TDX7Context::UseDesktop() {
  if (state == DX7_DESKTOP) return;
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  width = desktop.right - desktop.left;
  height = desktop.bottom - desktop.top;
  depth = hz = 0;
  window = nullptr;
  directDraw->SetCooperativeLevel(nullptr, COOPERATE_NORMAL);
  state = DX7_DESKTOP;
  CreateSurfaces();
  device->BeginScene();
}

void TDX7Context::CreateWindowed(int newWidth, int newHeight) {
  width = newWidth;
  height = newHeight;
  depth = hz = 0;
  constexpr DWORD STYLE = WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
  RECT outer{0, 0, width, height};
  AdjustWindowRect(&outer, STYLE, FALSE);
  MakeWindow(STYLE, CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
             outer.bottom - outer.top);
  directDraw->SetCooperativeLevel(window, COOPERATE_NORMAL);
  state = DX7_WINDOWED;
  CreateSurfaces();
  device->BeginScene();
}

void TDX7Context::CreateFullscreen(int newWidth, int newHeight, int newDepth, int newHz) {
  width = newWidth;
  height = newHeight;
  depth = newDepth;
  hz = newHz;
  MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, width, height);
  directDraw->SetCooperativeLevel(window, COOPERATE_FULLSCREEN);
  const auto setMode = [&] {
    return directDraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                      static_cast<DWORD>(depth), static_cast<DWORD>(hz), 0);
  };
  HRESULT result = setMode();
  if (FAILED(result) && hz != 0) {
    hz = 0;
    result = setMode();
  }
  if (FAILED(result) && depth != 32) {
    depth = 32;
    result = setMode();
  }
  if (FAILED(result) && depth == 24) {
    depth = 32;
    setMode();
  }
  state = DX7_FULLSCREEN;
  CreateSurfaces();
  device->BeginScene();
}

void TDX7Context::CreateSurfaces() {
  presentFlags = DDFLIP_WAIT;
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  if (FullScreen()) {
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    desc.dwBackBufferCount = 1;
  } else {
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE;
  }
  if (FAILED(directDraw->CreateSurface(&desc, &primarySurface, nullptr))) {
    throw RuntimeError("Create DX7 surface Failed");
  }
  // The back buffer before the device, which draws into it.
  if (FullScreen()) {
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    primarySurface->GetAttachedSurface(&caps, &backBuffer);
  } else {
    DDSURFACEDESC2 back{};
    back.dwSize = sizeof back;
    back.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    back.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    back.dwWidth = static_cast<DWORD>(width);
    back.dwHeight = static_cast<DWORD>(height);
    directDraw->CreateSurface(&back, &backBuffer, nullptr);
    directDraw->CreateClipper(0, &clipper, nullptr);
    if (clipper) {
      clipper->SetHWnd(0, window);
      primarySurface->SetClipper(clipper);
    }
  }
  if (!backBuffer) throw RuntimeError("Create DX7 surface Failed");
  if (FAILED(direct3D->CreateDevice(IID_IDirect3DTnLHalDevice, backBuffer, &device)) &&
      FAILED(direct3D->CreateDevice(IID_IDirect3DHALDevice, backBuffer, &device))) {
    throw RuntimeError("Create DX7 surface Failed");
  }
  device->SetRenderTarget(backBuffer, 0);
  device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
}

void TDX7Context::ReleaseSurfaces() {
  if (listener) listener->DeviceReleased(*this);
  ReleaseCom(backBuffer);
  ReleaseCom(device);
  ReleaseCom(primarySurface);
  ReleaseCom(clipper);
}

void TDX7Context::CloseContext() {
  if (state == DX7_CLOSED) return;
  if (device) device->EndScene();
  const bool ownWindow = FullScreen() || state == DX7_WINDOWED;
  if (FullScreen()) {
    directDraw->SetCooperativeLevel(window, COOPERATE_NORMAL);
    directDraw->RestoreDisplayMode();
  }
  ReleaseSurfaces();
  listener = nullptr;
  state = DX7_CLOSED;
  if (ownWindow) {
    // Closed first, so that the focus leaving the window is no device loss.
    const HWND closing = window;
    window = nullptr;
    DestroyWindow(closing);
  }
}

void TDX7Context::Present() {
  device->EndScene();
  if (FullScreen()) {
    primarySurface->Flip(nullptr, presentFlags);
  } else {
    CopyToWindow(window, width, height);
  }
  device->BeginScene();
}

void TDX7Context::CopyToWindow(HWND target, int copyWidth, int copyHeight) {
  POINT origin{0, 0};
  ClientToScreen(target, &origin);
  // Only what lies on the screen: the primary surface is the screen, and a
  // copy reaching past it would be refused whole.
  RECT to{origin.x, origin.y, origin.x + copyWidth, origin.y + copyHeight};
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (!IntersectRect(&to, &to, &screen)) return;
  RECT from{to.left - origin.x, to.top - origin.y, to.right - origin.x, to.bottom - origin.y};
  primarySurface->Blt(&to, backBuffer, &from, DDBLT_WAIT, nullptr);
}

void TDX7Context::SetPresentInterval(int sync) {
  if (!FullScreen()) return;
  switch (sync) {
    case 0:
      presentFlags = DDFLIP_NOVSYNC;
      break;
    case 2:
      presentFlags = DDFLIP_INTERVAL2 | DDFLIP_WAIT;
      break;
    case 3:
      presentFlags = DDFLIP_INTERVAL3 | DDFLIP_WAIT;
      break;
    case 4:
      presentFlags = DDFLIP_INTERVAL4 | DDFLIP_WAIT;
      break;
    default:
      presentFlags = DDFLIP_WAIT;
      break;
  }
}
