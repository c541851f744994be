// The software layer under the sprite layer tests.
#include "tests/frame/layer_under_test.h"

#include "gauge/sprite_layer.h"
#include "platform/soft/soft_layer.h"

bool OpenLayerUnderTest()
{
    return SpriteLayerInit() && OpenSpriteSurface(nullptr);
}

void CloseLayerUnderTest()
{
    CloseSpriteSurface();
}

const uint8_t* PresentedFrameUnderTest()
{
    return SoftPresentedFrame();
}

int LayerTolerance()
{
    return 1;
}
