// The instrument's picture: the five sprites made from the artwork once at start-up, and the
// composition of one whole frame on request.
#pragma once

#include "gauge/sprite_layer.h"

struct GaugeSpritesRecord {
    SpriteHandle FaceSprite = nullptr;      // 290 x 290 dial face
    SpriteHandle NeedleSprite = nullptr;    // 215 x 215, turned about its centre
    SpriteHandle LampDotSprite = nullptr;   // 30 x 30 red bulb
    SpriteHandle LampRingSprite = nullptr;  // 30 x 30 red halo
    SpriteHandle LightDiscSprite = nullptr; // 270 x 270 amber glow
};
extern GaugeSpritesRecord GaugeSprites;

// Needs the open surface. An image that cannot be made leaves its handle empty; that layer is
// then missing from every frame.
void LoadGaugeSprites();

// Fills, draws and presents one frame with the needle at angleDegrees (drawn as passed, no
// clamp), the red lamp when withLamp, and the panel-light glow when the simulator's lights
// and the light option are both on.
void DrawGaugeFrame(float angleDegrees, bool withLamp);
