#include "graphics/dx7/dx7_context.h"

#include <algorithm>
#include <string>

#include "runtime/runtime_error.h"
#include "stream/text_stream.h"
#include "system/system_driver.h"
#include "system/win32/win32_translate.h"
#include "system/win32/win32_window_class.h"

namespace {

constexpr char WINDOW_CLASS[] = "ZorpDX7Display";
constexpr DWORD COOPERATE_FULLSCREEN = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_FPUSETUP;
constexpr DWORD COOPERATE_NORMAL = DDSCL_NORMAL | DDSCL_FPUSETUP;
// The size of the surface on which CanMakeDevice makes its trial device.
constexpr int TRIAL_SIZE = 16;

// The context whose window this is: there is one window at a time.
TDX7Context* windowOwner = nullptr;

TDX7Factory directFactory;

template <class T>
void ReleaseCom(T*& object) {
  if (!object) return;
  object->Release();
  object = nullptr;
}

[[noreturn]] void Fail(const char* what, HRESULT result) {
  throw RuntimeError(String((what + std::to_string(static_cast<long>(result))).c_str()));
}

// A surface that Direct3D can draw into, off the screen.
DDSURFACEDESC2 RenderTarget(int width, int height) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
  desc.dwWidth = static_cast<DWORD>(width);
  desc.dwHeight = static_cast<DWORD>(height);
  return desc;
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
  static const HMODULE library = LoadLibraryExA("ddraw.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!library) return nullptr;
  // Through void (*)(), which matches every function type.
  return reinterpret_cast<void (*)()>(GetProcAddress(library, name));
}

HRESULT TDX7Factory::CreateSurface(IDirectDraw7& directDraw, DDSURFACEDESC2& desc,
                                   IDirectDrawSurface7** surface) {
  return directDraw.CreateSurface(&desc, surface, nullptr);
}

HRESULT TDX7Factory::CreateDevice(IDirect3D7& direct3D, REFCLSID type, IDirectDrawSurface7* target,
                                  IDirect3DDevice7** device) {
  return direct3D.CreateDevice(type, target, device);
}

TDX7Context::TDX7Context(const GUID* guid, String name, String description)
    : name(std::move(name)), description(std::move(description)), factory(&directFactory) {
  if (guid) {
    this->guid = *guid;
    primaryDriver = false;
  }
}

IDirect3DDevice7* TDX7Context::SetListener(TDX7DeviceListener* newListener) {
  if (Lost() || !device) return nullptr;
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

bool TDX7Context::CanMakeDevice() {
  directDraw->SetCooperativeLevel(nullptr, COOPERATE_NORMAL);
  DDSURFACEDESC2 desc = RenderTarget(TRIAL_SIZE, TRIAL_SIZE);
  IDirectDrawSurface7* target = nullptr;
  if (FAILED(factory->CreateSurface(*directDraw, desc, &target))) return false;
  IDirect3DDevice7* trial = nullptr;
  const bool made = SUCCEEDED(MakeDevice(target, &trial));
  if (made) trial->Release();
  target->Release();
  return made;
}

void TDX7Context::Tell(bool restored) {
  if (!listener) return;
  if (restored) {
    listener->DeviceRestored(*this);
  } else {
    listener->DeviceLost(*this);
  }
}

void TDX7Context::MarkLost() {
  if (Lost()) return;
  state |= DX7_LOST;
  PrintLine(String("device lost!"));
  Tell(false);
}

bool TDX7Context::SurfacesLost(HRESULT result) {
  if (result != DDERR_SURFACELOST && result != DDERR_WRONGMODE) return false;
  MarkLost();
  return true;
}

bool TDX7Context::BeginScene() { return !Lost() && !SurfacesLost(device->BeginScene()); }

bool TDX7Context::EndScene() { return !Lost() && !SurfacesLost(device->EndScene()); }

void TDX7Context::OnFocus() {
  if (Lost()) RestoreDevice();
}

void TDX7Context::OnKillFocus() {
  if (!FullScreen() || !exclusive) return;
  directDraw->SetCooperativeLevel(window, COOPERATE_NORMAL);
  exclusive = false;
  ShowWindow(window, SW_MINIMIZE);
  MarkLost();
}

HRESULT TDX7Context::SetMode() {
  return directDraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                    static_cast<DWORD>(depth), static_cast<DWORD>(hz), 0);
}

bool TDX7Context::Reclaim() {
  if (window && IsIconic(window)) return false;
  if (FullScreen()) {
    // Only the program in front may take the screen.
    if (GetForegroundWindow() != window) return false;
    if (!exclusive) {
      if (FAILED(directDraw->SetCooperativeLevel(window, COOPERATE_FULLSCREEN))) return false;
      exclusive = true;
    }
  }
  const HRESULT result = directDraw->TestCooperativeLevel();
  // A windowed display hears of a change of mode here: its surfaces are
  // made anew.
  if (result != DD_OK && result != DDERR_WRONGMODE) return false;
  return !FullScreen() || SUCCEEDED(SetMode());
}

bool TDX7Context::RestoreSurfaces() {
  if (!primarySurface || !backBuffer || !device) return false;
  // The primary surface's flip chain brings the full-screen back buffer.
  if (FAILED(primarySurface->Restore())) return false;
  return FullScreen() || SUCCEEDED(backBuffer->Restore());
}

bool TDX7Context::RemakeSurfaces() {
  ReleaseSurfaces();
  try {
    CreateSurfaces();
    return true;
  } catch (const RuntimeError&) {
    // Tried again at the next chance.
    ReleaseSurfaces();
    return false;
  }
}

bool TDX7Context::RestoreDevice() {
  if (!Lost()) return true;
  // Taking the screen back sends the window messages, focus among them,
  // that would start restoring again.
  if (restoring) return false;
  restoring = true;
  const bool back = Reclaim() && (RestoreSurfaces() || RemakeSurfaces());
  restoring = false;
  if (!back) return false;
  state &= ~DX7_LOST;
  PrintLine(String("device restored!"));
  Tell(true);
  return BeginScene();
}

void TDX7Context::MakeWindow(DWORD style, int x, int y, int outerWidth, int outerHeight) {
  RegisterWindowClass();
  window = CreateWindowExA(0, WINDOW_CLASS, AppTitle().ToBytes().c_str(), style, x, y, outerWidth,
                           outerHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window) throw RuntimeError("Failed to create window");
  windowOwner = this;
}

bool TDX7Context::Open(int newState, const std::function<bool()>& prepare) {
  state = newState;
  try {
    if (prepare()) {
      CreateSurfaces();
      BeginScene();
      return true;
    }
  } catch (...) {
    CloseContext();
    throw;
  }
  CloseContext();
  return false;
}

bool TDX7Context::UseDesktop() {
  if (state == DX7_DESKTOP) return true;
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  width = desktop.right - desktop.left;
  height = desktop.bottom - desktop.top;
  depth = hz = 0;
  window = nullptr;
  return Open(DX7_DESKTOP, [&] {
    directDraw->SetCooperativeLevel(nullptr, COOPERATE_NORMAL);
    return true;
  });
}

bool TDX7Context::CreateWindowed(int newWidth, int newHeight) {
  width = newWidth;
  height = newHeight;
  depth = hz = 0;
  return Open(DX7_WINDOWED, [&] {
    constexpr DWORD STYLE = WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
    RECT outer{0, 0, width, height};
    AdjustWindowRect(&outer, STYLE, FALSE);
    MakeWindow(STYLE, CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
               outer.bottom - outer.top);
    directDraw->SetCooperativeLevel(window, COOPERATE_NORMAL);
    return true;
  });
}

bool TDX7Context::CreateFullscreen(int newWidth, int newHeight, int newDepth, int newHz) {
  width = newWidth;
  height = newHeight;
  depth = newDepth;
  hz = newHz;
  return Open(DX7_FULLSCREEN, [&] {
    MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, width, height);
    exclusive = SUCCEEDED(directDraw->SetCooperativeLevel(window, COOPERATE_FULLSCREEN));
    // Any refresh rate, then 32 bits per pixel, before giving up.
    HRESULT result = SetMode();
    if (FAILED(result) && hz != 0) {
      hz = 0;
      result = SetMode();
    }
    if (FAILED(result) && depth != 32) {
      depth = 32;
      result = SetMode();
    }
    return SUCCEEDED(result);
  });
}

HRESULT TDX7Context::MakeDevice(IDirectDrawSurface7* target, IDirect3DDevice7** made) {
  // Hardware transform and lighting where there is some, else plain
  // hardware drawing.
  const HRESULT result = factory->CreateDevice(*direct3D, IID_IDirect3DTnLHalDevice, target, made);
  if (SUCCEEDED(result)) return result;
  return factory->CreateDevice(*direct3D, IID_IDirect3DHALDevice, target, made);
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
  if (FAILED(factory->CreateSurface(*directDraw, desc, &primarySurface))) {
    primarySurface = nullptr;
    throw RuntimeError("Create DX7 surface Failed");
  }
  // The back buffer before the device, which draws into it.
  if (FullScreen()) {
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    primarySurface->GetAttachedSurface(&caps, &backBuffer);
  } else {
    DDSURFACEDESC2 back = RenderTarget(width, height);
    if (FAILED(factory->CreateSurface(*directDraw, back, &backBuffer))) backBuffer = nullptr;
    // Bound to a window at the first copy into it.
    directDraw->CreateClipper(0, &clipper, nullptr);
    clipWindow = nullptr;
    if (clipper) primarySurface->SetClipper(clipper);
  }
  if (!backBuffer) throw RuntimeError("Create DX7 surface Failed");
  if (FAILED(MakeDevice(backBuffer, &device))) {
    device = nullptr;
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
  ReleaseSurfaces();
  if (FullScreen()) directDraw->RestoreDisplayMode();
  // Never bound to a window that is going: Wine's Direct3D would go on
  // drawing through it, and fail.
  directDraw->SetCooperativeLevel(nullptr, COOPERATE_NORMAL);
  listener = nullptr;
  state = DX7_CLOSED;
  exclusive = false;
  if (window) {
    // Closed first, so that the focus leaving the window is no loss.
    const HWND closing = window;
    window = nullptr;
    DestroyWindow(closing);
  }
}

void TDX7Context::Present(HWND target) {
  if (Lost()) {
    RestoreDevice();
    return;
  }
  if (!EndScene()) return;
  const HRESULT shown =
      FullScreen() ? primarySurface->Flip(nullptr, presentFlags) : CopyToWindow(target);
  if (SurfacesLost(shown)) return;
  BeginScene();
}

HRESULT TDX7Context::CopyToWindow(HWND target) {
  RECT client{};
  if (!target || !GetClientRect(target, &client)) return DD_OK;
  // The desktop buffer may be smaller than an attached window.
  client.right = std::min<LONG>(client.right, width);
  client.bottom = std::min<LONG>(client.bottom, height);
  POINT origin{0, 0};
  ClientToScreen(target, &origin);
  RECT to = client;
  OffsetRect(&to, origin.x, origin.y);
  // In screen coordinates, on whichever monitor: the clipper bound to the
  // window cuts what of it is covered. Wine's clipper leaves what lies off
  // every screen, whose copy would be refused whole.
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const RECT desktop{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                     top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  if (!IntersectRect(&to, &to, &desktop)) return DD_OK;
  RECT from = to;
  OffsetRect(&from, -origin.x, -origin.y);
  if (clipper && clipWindow != target) {
    clipper->SetHWnd(0, target);
    clipWindow = target;
  }
  return primarySurface->Blt(&to, backBuffer, &from, DDBLT_WAIT, nullptr);
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
