#include "graphics/dx7/dx7_display.h"

#include <cstdio>

#include "runtime/runtime_error.h"

namespace {

// The enumeration's drivers: the primary display driver is the one used.
BOOL WINAPI AcceptDriver(GUID* guid, char* description, char* name, void* found) {
  if (guid) return TRUE;
  *static_cast<Ref<TDX7Context>*>(found) =
      New<TDX7Context>(guid, String(name), String(description));
  return FALSE;
}

Ref<TDX7DisplayDriver> FindDriver() {
  using Enumerate = HRESULT(WINAPI*)(LPDDENUMCALLBACKA, void*);
  const auto enumerate = reinterpret_cast<Enumerate>(DirectDrawFunction("DirectDrawEnumerateA"));
  if (!enumerate) return nullptr;
  Ref<TDX7Context> context;
  enumerate(AcceptDriver, &context);
  if (!context) return nullptr;
  try {
    context->Startup();
  } catch (const RuntimeError& error) {
    // A machine whose DirectX cannot start still has OpenGL.
    std::fprintf(stderr, "DirectX 7: %s\n", error.Message().ToBytes().c_str());
    return nullptr;
  }
  if (context->modes.empty() || !context->CanMakeDevice()) return nullptr;
  return New<TDX7DisplayDriver>(context);
}

}  // namespace

Ref<TDisplayDriver> TDX7Display::Driver() { return driver; }

DisplaySettings TDX7Display::GetSettings() {
  DisplaySettings settings;
  RECT client{};
  if (window && GetClientRect(window, &client)) {
    settings.width = client.right;
    settings.height = client.bottom;
  } else {
    settings.width = driver->context->width;
    settings.height = driver->context->height;
  }
  return settings;
}

void TDX7Display::Close() {
  if (closed) return;
  closed = true;
  if (driver->current.Get() == this) driver->current = nullptr;
  if (window) {
    // The desktop buffer goes with the last display drawn through it.
    if (--driver->attached == 0 && driver->context->state == DX7_DESKTOP) {
      driver->context->CloseContext();
    }
    return;
  }
  if (driver->owner != this) return;
  driver->owner = nullptr;
  driver->context->CloseContext();
}

bool TDX7Display::IsHidden() {
  if (closed) return false;
  TDX7Context& context = *driver->context;
  if (IsIconic(window ? window : context.window)) return true;
  return !context.RestoreDevice();
}

IDirect3DDevice7* TDX7Display::SetListener(TDX7DeviceListener* listener) {
  if (closed) return nullptr;
  driver->context->RestoreDevice();
  return driver->context->SetListener(listener);
}

std::vector<Ref<TGraphicsMode>> TDX7DisplayDriver::GraphicsModes() { return context->modes; }

Ref<TDisplay> TDX7DisplayDriver::Attach(intptr_t window, int) {
  const HWND handle = reinterpret_cast<HWND>(window);
  if (!handle || !IsWindow(handle)) return nullptr;
  // The desktop buffer takes the place of a display of the context's own.
  if (owner) owner->Close();
  if (!context->UseDesktop()) return nullptr;
  attached++;
  return New<TDX7Display>(Ref<TDX7DisplayDriver>(this), handle);
}

Ref<TDisplay> TDX7DisplayDriver::Create(int width, int height, int depth, int hz, int) {
  if (width < 1 || height < 1) return nullptr;
  // The context drives one display of its own, or the desktop buffer for
  // attached ones: what it drove before is closed.
  if (owner) owner->Close();
  context->CloseContext();
  const bool made = depth != 0 ? context->CreateFullscreen(width, height, depth, hz)
                               : context->CreateWindowed(width, height);
  if (!made) return nullptr;
  const Ref<TDX7Display> display = New<TDX7Display>(Ref<TDX7DisplayDriver>(this), nullptr);
  owner = display.Get();
  return display;
}

void TDX7DisplayDriver::SetDisplay(const Ref<TDisplay>& display) {
  current = Cast<TDX7Display>(display);
}

void TDX7DisplayDriver::Flip(int sync) {
  if (!current || current->closed) return;
  context->SetPresentInterval(sync != 0 ? 1 : 0);
  context->Present(current->window ? current->window : context->window);
}

Ref<TDX7DisplayDriver> DX7DisplayDriver() {
  static const Ref<TDX7DisplayDriver> driver = FindDriver();
  return driver;
}
