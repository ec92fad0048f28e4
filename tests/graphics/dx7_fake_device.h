#pragma once
// For the DirectX 7 driver tests: a Direct3D 7 device that draws nothing and
// records what it is told. Every call is logged by name in order; the state
// setters, clears and draws also keep their arguments (vertices copied, as
// the caller's buffer is gone by the time a test looks).

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <d3d.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <string>
#include <vector>

class FakeD3DDevice : public IDirect3DDevice7 {
 public:
  struct RenderState {
    D3DRENDERSTATETYPE state;
    DWORD value;
  };
  struct StageState {
    DWORD stage;
    D3DTEXTURESTAGESTATETYPE type;
    DWORD value;
  };
  struct TextureCall {
    DWORD stage;
    IDirectDrawSurface7* surface;
  };
  struct ClipPlane {
    DWORD index;
    std::array<float, 4> plane;
  };
  struct ClearCall {
    std::vector<D3DRECT> rects;
    DWORD flags;
    D3DCOLOR color;
  };
  // Whatever the vertex format, the fields it has (the rest 0).
  struct Vertex {
    float x = 0, y = 0, z = 0;
    DWORD color = 0;
    float u = 0, v = 0;
  };
  struct DrawCall {
    D3DPRIMITIVETYPE type;
    DWORD fvf;
    std::vector<Vertex> vertices;
  };

  // Forgets everything recorded (the render states' values included).
  void Reset() {
    calls.clear();
    renderStates.clear();
    stageStates.clear();
    textures.clear();
    clipPlanes.clear();
    clears.clear();
    draws.clear();
    transforms.clear();
    viewports.clear();
    stateValues.clear();
  }

  int Count(const std::string& name) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), name));
  }
  bool WasSet(D3DRENDERSTATETYPE state) const { return stateValues.count(state) != 0; }
  // The last value set; 0 when never set since the last Reset.
  DWORD StateValue(D3DRENDERSTATETYPE state) const {
    const auto found = stateValues.find(state);
    return found == stateValues.end() ? 0 : found->second;
  }

  std::vector<std::string> calls;
  std::vector<RenderState> renderStates;
  std::vector<StageState> stageStates;
  std::vector<TextureCall> textures;
  std::vector<ClipPlane> clipPlanes;
  std::vector<ClearCall> clears;
  std::vector<DrawCall> draws;
  std::vector<std::pair<D3DTRANSFORMSTATETYPE, D3DMATRIX>> transforms;
  std::vector<D3DVIEWPORT7> viewports;
  std::map<D3DRENDERSTATETYPE, DWORD> stateValues;

  // IUnknown: the device lives on the test's stack.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    calls.emplace_back("QueryInterface");
    if (object) *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE GetCaps(D3DDEVICEDESC7* desc) override {
    calls.emplace_back("GetCaps");
    if (desc) std::memset(desc, 0, sizeof *desc);
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK, void*) override {
    return Unsupported("EnumTextureFormats");
  }
  HRESULT STDMETHODCALLTYPE BeginScene() override { return Ok("BeginScene"); }
  HRESULT STDMETHODCALLTYPE EndScene() override { return Ok("EndScene"); }
  HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D7** d3d) override {
    if (d3d) *d3d = nullptr;
    return Unsupported("GetDirect3D");
  }
  HRESULT STDMETHODCALLTYPE SetRenderTarget(IDirectDrawSurface7*, DWORD) override {
    return Ok("SetRenderTarget");
  }
  HRESULT STDMETHODCALLTYPE GetRenderTarget(IDirectDrawSurface7** surface) override {
    if (surface) *surface = nullptr;
    return Unsupported("GetRenderTarget");
  }
  HRESULT STDMETHODCALLTYPE Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color,
                                  D3DVALUE, DWORD) override {
    calls.emplace_back("Clear");
    ClearCall clear{{}, flags, color};
    if (rects) clear.rects.assign(rects, rects + count);
    clears.push_back(clear);
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override {
    calls.emplace_back("SetTransform");
    transforms.emplace_back(state, matrix ? *matrix : D3DMATRIX{});
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override {
    return Unsupported("GetTransform");
  }
  HRESULT STDMETHODCALLTYPE SetViewport(D3DVIEWPORT7* data) override {
    calls.emplace_back("SetViewport");
    viewports.push_back(data ? *data : D3DVIEWPORT7{});
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override {
    return Unsupported("MultiplyTransform");
  }
  HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT7*) override {
    return Unsupported("GetViewport");
  }
  HRESULT STDMETHODCALLTYPE SetMaterial(D3DMATERIAL7*) override { return Ok("SetMaterial"); }
  HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL7*) override {
    return Unsupported("GetMaterial");
  }
  HRESULT STDMETHODCALLTYPE SetLight(DWORD, D3DLIGHT7*) override { return Ok("SetLight"); }
  HRESULT STDMETHODCALLTYPE GetLight(DWORD, D3DLIGHT7*) override { return Unsupported("GetLight"); }
  HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
    calls.emplace_back("SetRenderState");
    renderStates.push_back({state, value});
    stateValues[state] = value;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) override {
    calls.emplace_back("GetRenderState");
    if (value) *value = StateValue(state);
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE BeginStateBlock() override { return Unsupported("BeginStateBlock"); }
  HRESULT STDMETHODCALLTYPE EndStateBlock(LPDWORD) override { return Unsupported("EndStateBlock"); }
  HRESULT STDMETHODCALLTYPE PreLoad(IDirectDrawSurface7*) override { return Ok("PreLoad"); }
  HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices,
                                          DWORD count, DWORD) override {
    calls.emplace_back("DrawPrimitive");
    DrawCall draw{type, fvf, {}};
    const auto* bytes = static_cast<const unsigned char*>(vertices);
    for (DWORD i = 0; i < count; i++) draw.vertices.push_back(ReadVertex(fvf, bytes, i));
    draws.push_back(std::move(draw));
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE, DWORD, void*, DWORD, WORD*,
                                                 DWORD, DWORD) override {
    return Unsupported("DrawIndexedPrimitive");
  }
  HRESULT STDMETHODCALLTYPE SetClipStatus(D3DCLIPSTATUS*) override {
    return Unsupported("SetClipStatus");
  }
  HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS*) override {
    return Unsupported("GetClipStatus");
  }
  HRESULT STDMETHODCALLTYPE DrawPrimitiveStrided(D3DPRIMITIVETYPE, DWORD,
                                                 D3DDRAWPRIMITIVESTRIDEDDATA*, DWORD,
                                                 DWORD) override {
    return Unsupported("DrawPrimitiveStrided");
  }
  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveStrided(D3DPRIMITIVETYPE, DWORD,
                                                        D3DDRAWPRIMITIVESTRIDEDDATA*, DWORD, WORD*,
                                                        DWORD, DWORD) override {
    return Unsupported("DrawIndexedPrimitiveStrided");
  }
  HRESULT STDMETHODCALLTYPE DrawPrimitiveVB(D3DPRIMITIVETYPE, IDirect3DVertexBuffer7*, DWORD, DWORD,
                                            DWORD) override {
    return Unsupported("DrawPrimitiveVB");
  }
  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE, IDirect3DVertexBuffer7*, DWORD,
                                                   DWORD, WORD*, DWORD, DWORD) override {
    return Unsupported("DrawIndexedPrimitiveVB");
  }
  HRESULT STDMETHODCALLTYPE ComputeSphereVisibility(D3DVECTOR*, D3DVALUE*, DWORD, DWORD,
                                                    DWORD*) override {
    return Unsupported("ComputeSphereVisibility");
  }
  HRESULT STDMETHODCALLTYPE GetTexture(DWORD, IDirectDrawSurface7** surface) override {
    if (surface) *surface = nullptr;
    return Unsupported("GetTexture");
  }
  HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirectDrawSurface7* surface) override {
    calls.emplace_back("SetTexture");
    textures.push_back({stage, surface});
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE,
                                                 LPDWORD) override {
    return Unsupported("GetTextureStageState");
  }
  HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                 DWORD value) override {
    calls.emplace_back("SetTextureStageState");
    stageStates.push_back({stage, type, value});
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE ValidateDevice(LPDWORD passes) override {
    if (passes) *passes = 1;
    return Ok("ValidateDevice");
  }
  HRESULT STDMETHODCALLTYPE ApplyStateBlock(DWORD) override {
    return Unsupported("ApplyStateBlock");
  }
  HRESULT STDMETHODCALLTYPE CaptureStateBlock(DWORD) override {
    return Unsupported("CaptureStateBlock");
  }
  HRESULT STDMETHODCALLTYPE DeleteStateBlock(DWORD) override {
    return Unsupported("DeleteStateBlock");
  }
  HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE, LPDWORD) override {
    return Unsupported("CreateStateBlock");
  }
  HRESULT STDMETHODCALLTYPE Load(IDirectDrawSurface7*, POINT*, IDirectDrawSurface7*, RECT*,
                                 DWORD) override {
    return Unsupported("Load");
  }
  HRESULT STDMETHODCALLTYPE LightEnable(DWORD, WINBOOL) override { return Ok("LightEnable"); }
  HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD, WINBOOL*) override {
    return Unsupported("GetLightEnable");
  }
  HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD index, D3DVALUE* plane) override {
    calls.emplace_back("SetClipPlane");
    ClipPlane recorded{index, {}};
    if (plane) std::copy(plane, plane + 4, recorded.plane.begin());
    clipPlanes.push_back(recorded);
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD, D3DVALUE*) override {
    return Unsupported("GetClipPlane");
  }
  HRESULT STDMETHODCALLTYPE GetInfo(DWORD, void*, DWORD) override { return Unsupported("GetInfo"); }

 private:
  HRESULT Ok(const char* name) {
    calls.emplace_back(name);
    return D3D_OK;
  }
  HRESULT Unsupported(const char* name) {
    calls.emplace_back(name);
    return E_NOTIMPL;
  }

  // Vertex i of an array in the flexible vertex format fvf: position,
  // optional colours, then the texture coordinate pairs.
  static Vertex ReadVertex(DWORD fvf, const unsigned char* bytes, DWORD i) {
    size_t positionSize = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
      case D3DFVF_XYZ:
        positionSize = 3 * sizeof(float);
        break;
      case D3DFVF_XYZRHW:
        positionSize = 4 * sizeof(float);
        break;
    }
    const size_t diffuse = positionSize + ((fvf & D3DFVF_NORMAL) ? 3 * sizeof(float) : 0);
    const size_t specular = diffuse + ((fvf & D3DFVF_DIFFUSE) ? sizeof(DWORD) : 0);
    const size_t texCoords = specular + ((fvf & D3DFVF_SPECULAR) ? sizeof(DWORD) : 0);
    const size_t texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    const size_t stride = texCoords + texCount * 2 * sizeof(float);
    const unsigned char* at = bytes + i * stride;

    Vertex vertex;
    float position[4] = {};
    std::memcpy(position, at, positionSize);
    vertex.x = position[0];
    vertex.y = position[1];
    vertex.z = position[2];
    if (fvf & D3DFVF_DIFFUSE) std::memcpy(&vertex.color, at + diffuse, sizeof(DWORD));
    if (texCount > 0) {
      std::memcpy(&vertex.u, at + texCoords, sizeof(float));
      std::memcpy(&vertex.v, at + texCoords + sizeof(float), sizeof(float));
    }
    return vertex;
  }
};
