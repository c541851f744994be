// The sprite layer over Direct3D 9: a windowed device with one back buffer the size of the
// surface, presented once per display refresh. Sprites are managed textures drawn as turned,
// pre-transformed quads, so they survive a device reset. d3d9.dll is loaded at run time: a
// system without it gets the start-up error box instead of a loader failure.
// A frame that cannot be shown (device lost) is dropped; the next frame resets the device once
// the system allows it, and carries on.
#include "gauge/sprite_layer.h"

#include "gauge/png_image.h"
#include "platform/win32/d3d9_layer.h"

#include <windows.h>
#include <d3d9.h>

#include <cmath>
#include <vector>

struct Sprite {
    IDirect3DTexture9* texture = nullptr;
    int width = 0;
    int height = 0;
    float uMax = 1.0f; // the image's share of a texture padded to powers of two
    float vMax = 1.0f;
    float angle = 0.0f;
};

namespace {

struct QuadVertex {
    float x, y, z, rhw;
    DWORD colour;
    float u, v;
};
constexpr DWORD QuadFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

using Direct3DCreate9Proc = IDirect3D9*(WINAPI*)(UINT);

struct D3d9LayerState {
    HMODULE library = nullptr;
    Direct3DCreate9Proc create = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    D3DPRESENT_PARAMETERS present = {};
    bool padToPowersOfTwo = false;
    bool lost = false;
    bool frameOpen = false;  // this frame is being composed (the device was usable at its start)
    bool sceneOpen = false;
    bool presentedOnce = false;
    bool smooth = false;
    BlendFactors pair = BlendFactors::NormalBlend;
    std::vector<Sprite*> sprites;
} dx;

void ApplyBlend()
{
    D3DBLEND source = D3DBLEND_SRCALPHA, destination = D3DBLEND_INVSRCALPHA;
    if (dx.pair == BlendFactors::ShadowBlend)
        source = D3DBLEND_ZERO;
    else if (dx.pair == BlendFactors::GlowBlend)
        destination = D3DBLEND_DESTCOLOR;
    dx.device->SetRenderState(D3DRS_SRCBLEND, source);
    dx.device->SetRenderState(D3DRS_DESTBLEND, destination);
}

void ApplySampling()
{
    D3DTEXTUREFILTERTYPE filter = dx.smooth ? D3DTEXF_LINEAR : D3DTEXF_POINT;
    dx.device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    dx.device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
}

// Everything a device reset forgets.
void ApplyDeviceState()
{
    IDirect3DDevice9* d = dx.device;
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    d->SetFVF(QuadFvf);
    ApplyBlend();
    ApplySampling();
}

int NextPowerOfTwo(int n)
{
    int p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

// True when the device can draw: after a loss it is reset as soon as the system allows.
bool DeviceUsable()
{
    if (!dx.device)
        return false;
    if (!dx.lost)
        return true;
    HRESULT state = dx.device->TestCooperativeLevel();
    if (state == D3DERR_DEVICENOTRESET && SUCCEEDED(dx.device->Reset(&dx.present))) {
        ApplyDeviceState();
        dx.lost = false;
        return true;
    }
    if (state == D3D_OK) {
        dx.lost = false;
        return true;
    }
    return false;
}

} // namespace

bool SpriteLayerInit()
{
    if (!dx.library)
        dx.library = LoadLibraryA("d3d9.dll");
    if (dx.library && !dx.create)
        dx.create = reinterpret_cast<Direct3DCreate9Proc>(
            reinterpret_cast<void*>(GetProcAddress(dx.library, "Direct3DCreate9")));
    return dx.create != nullptr;
}

bool OpenSpriteSurface(void* window)
{
    CloseSpriteSurface();
    if (!dx.create || !window)
        return false;
    dx.d3d = dx.create(D3D_SDK_VERSION);
    if (!dx.d3d)
        return false;

    D3DPRESENT_PARAMETERS& pp = dx.present;
    pp = D3DPRESENT_PARAMETERS();
    pp.BackBufferWidth = SurfaceWidth;
    pp.BackBufferHeight = SurfaceHeight;
    pp.BackBufferFormat = D3DFMT_UNKNOWN;
    pp.BackBufferCount = 1;
    // Copy keeps the presented frame in the back buffer, so it can be shown again on repaint.
    pp.SwapEffect = D3DSWAPEFFECT_COPY;
    pp.hDeviceWindow = static_cast<HWND>(window);
    pp.Windowed = TRUE;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_ONE;

    // The program's own float arithmetic must not be switched to single precision under it.
    const DWORD flags[] = {D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE,
                           D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE};
    for (DWORD f : flags) {
        if (SUCCEEDED(dx.d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, pp.hDeviceWindow, f,
                                           &pp, &dx.device)))
            break;
        dx.device = nullptr;
    }
    if (!dx.device) {
        dx.d3d->Release();
        dx.d3d = nullptr;
        return false;
    }
    D3DCAPS9 caps;
    dx.device->GetDeviceCaps(&caps);
    dx.padToPowersOfTwo = (caps.TextureCaps & D3DPTEXTURECAPS_POW2) &&
                          !(caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
    dx.pair = BlendFactors::NormalBlend;
    dx.smooth = false;
    dx.lost = false;
    dx.presentedOnce = false;
    ApplyDeviceState();
    return true;
}

void CloseSpriteSurface()
{
    for (Sprite* sprite : dx.sprites) {
        if (sprite->texture)
            sprite->texture->Release();
        delete sprite;
    }
    dx.sprites.clear();
    if (dx.device)
        dx.device->Release();
    dx.device = nullptr;
    if (dx.d3d)
        dx.d3d->Release();
    dx.d3d = nullptr;
    dx.frameOpen = dx.sceneOpen = false;
}

SpriteHandle SpriteFromPng(const uint8_t* bytes, size_t size)
{
    if (!dx.device)
        return nullptr;
    RgbaImage image;
    if (!DecodePng(bytes, size, &image))
        return nullptr;
    int tw = image.width, th = image.height;
    if (dx.padToPowersOfTwo) {
        tw = NextPowerOfTwo(tw);
        th = NextPowerOfTwo(th);
    }
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(dx.device->CreateTexture(tw, th, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                        nullptr)))
        return nullptr;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
        texture->Release();
        return nullptr;
    }
    for (int y = 0; y < th; ++y) {
        uint8_t* row = static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        // Padding repeats the edge pixels, as clamped sampling of the image alone would.
        int sy = y < image.height ? y : image.height - 1;
        for (int x = 0; x < tw; ++x) {
            int sx = x < image.width ? x : image.width - 1;
            const uint8_t* p = &image.pixels[(static_cast<size_t>(sy) * image.width + sx) * 4];
            row[x * 4 + 0] = p[2];
            row[x * 4 + 1] = p[1];
            row[x * 4 + 2] = p[0];
            row[x * 4 + 3] = p[3];
        }
    }
    texture->UnlockRect(0);

    Sprite* sprite = new Sprite;
    sprite->texture = texture;
    sprite->width = image.width;
    sprite->height = image.height;
    sprite->uMax = static_cast<float>(image.width) / tw;
    sprite->vMax = static_cast<float>(image.height) / th;
    dx.sprites.push_back(sprite);
    return sprite;
}

void SetSmoothSampling(bool on)
{
    dx.smooth = on;
    if (dx.device && !dx.lost)
        ApplySampling();
}

void FillFrame(uint8_t red, uint8_t green, uint8_t blue)
{
    dx.frameOpen = DeviceUsable();
    if (dx.frameOpen)
        dx.device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(red, green, blue), 1.0f, 0);
}

void BeginLayers()
{
    if (dx.frameOpen)
        dx.sceneOpen = SUCCEEDED(dx.device->BeginScene());
}

void EndLayers()
{
    if (dx.sceneOpen)
        dx.device->EndScene();
    dx.sceneOpen = false;
}

void SetSpriteAngle(SpriteHandle sprite, float degrees)
{
    if (sprite)
        sprite->angle = degrees;
}

void SetBlendFactors(BlendFactors pair)
{
    dx.pair = pair;
    if (dx.device && !dx.lost)
        ApplyBlend();
}

void BlitSprite(SpriteHandle sprite, int x, int y, uint8_t alpha)
{
    if (!sprite || !dx.sceneOpen)
        return;
    float w = static_cast<float>(sprite->width), h = static_cast<float>(sprite->height);
    // Direct3D 9 puts pixel centres on whole coordinates: moving the quad by half a pixel puts
    // image pixel centres on surface pixel centres.
    float cx = x + w / 2 - 0.5f, cy = y + h / 2 - 0.5f;
    float c = 1.0f, s = 0.0f;
    if (sprite->angle != 0.0f) {
        double radians = static_cast<double>(sprite->angle) * (3.14159265358979323846 / 180.0);
        c = static_cast<float>(std::cos(radians));
        s = static_cast<float>(std::sin(radians));
    }
    const float corners[4][2] = {{-w / 2, -h / 2}, {w / 2, -h / 2}, {-w / 2, h / 2}, {w / 2, h / 2}};
    const float uv[4][2] = {{0, 0}, {sprite->uMax, 0}, {0, sprite->vMax}, {sprite->uMax, sprite->vMax}};
    DWORD colour = D3DCOLOR_ARGB(alpha, 255, 255, 255);
    QuadVertex quad[4];
    for (int i = 0; i < 4; ++i) {
        float dx0 = corners[i][0], dy0 = corners[i][1];
        quad[i] = {cx + dx0 * c - dy0 * s, cy + dx0 * s + dy0 * c, 0.0f, 1.0f, colour, uv[i][0], uv[i][1]};
    }
    dx.device->SetTexture(0, sprite->texture);
    dx.device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(QuadVertex));
}

void PresentFrame()
{
    if (!dx.frameOpen)
        return;
    dx.frameOpen = false;
    HRESULT hr = dx.device->Present(nullptr, nullptr, nullptr, nullptr);
    if (hr == D3DERR_DEVICELOST)
        dx.lost = true;
    else if (SUCCEEDED(hr))
        dx.presentedOnce = true;
}

bool RepaintLastFrame()
{
    if (!dx.device || dx.lost || !dx.presentedOnce)
        return false;
    if (dx.device->Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST)
        dx.lost = true;
    return true;
}

bool D3d9ReadBackBuffer(uint8_t* rgb)
{
    if (!dx.device || dx.lost)
        return false;
    IDirect3DSurface9* back = nullptr;
    if (FAILED(dx.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back)))
        return false;
    D3DSURFACE_DESC desc;
    back->GetDesc(&desc);
    bool ok = false;
    IDirect3DSurface9* copy = nullptr;
    if ((desc.Format == D3DFMT_X8R8G8B8 || desc.Format == D3DFMT_A8R8G8B8) &&
        SUCCEEDED(dx.device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                         D3DPOOL_SYSTEMMEM, &copy, nullptr)) &&
        SUCCEEDED(dx.device->GetRenderTargetData(back, copy))) {
        D3DLOCKED_RECT locked;
        if (SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            for (int y = 0; y < SurfaceHeight; ++y) {
                const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
                for (int x = 0; x < SurfaceWidth; ++x) {
                    uint8_t* out = rgb + (static_cast<size_t>(y) * SurfaceWidth + x) * 3;
                    out[0] = row[x * 4 + 2];
                    out[1] = row[x * 4 + 1];
                    out[2] = row[x * 4 + 0];
                }
            }
            copy->UnlockRect();
            ok = true;
        }
    }
    if (copy)
        copy->Release();
    back->Release();
    return ok;
}
