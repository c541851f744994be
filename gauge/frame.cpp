// Frame composition, bottom up: background, face, needle shadow, needle, lamp bulb and halo,
// glow. The glow comes last, so it also tints the needle and the lamp.
#include "gauge/frame.h"

#include "app/shared.h"
#include "assets/assets.h"

GaugeSpritesRecord GaugeSprites;

void LoadGaugeSprites()
{
    GaugeSprites.FaceSprite = SpriteFromPng(FaceImage.data, FaceImage.size);
    GaugeSprites.NeedleSprite = SpriteFromPng(NeedleImage.data, NeedleImage.size);
    GaugeSprites.LampDotSprite = SpriteFromPng(LampDotImage.data, LampDotImage.size);
    GaugeSprites.LightDiscSprite = SpriteFromPng(LightDiscImage.data, LightDiscImage.size);
    GaugeSprites.LampRingSprite = SpriteFromPng(LampRingImage.data, LampRingImage.size);
    SetSmoothSampling(true);
}

void DrawGaugeFrame(float angleDegrees, bool withLamp)
{
    FillFrame(128, 128, 128);
    BeginLayers();
    // Every frame leaves the normal pair set, so the face needs no switch.
    BlitSprite(GaugeSprites.FaceSprite, 0, 0, 255);
    SetSpriteAngle(GaugeSprites.NeedleSprite, angleDegrees);
    SetBlendFactors(BlendFactors::ShadowBlend);
    BlitSprite(GaugeSprites.NeedleSprite, 43, 43, 100);
    SetBlendFactors(BlendFactors::NormalBlend);
    BlitSprite(GaugeSprites.NeedleSprite, 40, 40, 255);
    if (withLamp) {
        BlitSprite(GaugeSprites.LampDotSprite, 35, 35, 255);
        BlitSprite(GaugeSprites.LampRingSprite, 35, 35, 255);
    }
    if (LinkReadings.lights.load() != 0 && GaugeSettings.light != 0) {
        SetBlendFactors(BlendFactors::GlowBlend);
        BlitSprite(GaugeSprites.LightDiscSprite, 0, 0, 200);
    }
    SetBlendFactors(BlendFactors::NormalBlend);
    EndLayers();
    PresentFrame();
}
