#pragma once

#include "ui/PresetButtonHelper.h"

// The icon view's tile pictures: five embedded 256 x 160 pictures (the toggled
// states reuse the untoggled picture; selection is drawn round the tile) rescaled
// to two thirds of the button size.
class IconButtonHelper : public PresetButtonHelper
{
public:
    static constexpr int defaultWidth = 152;
    static constexpr int defaultHeight = 95;

    void prepare (int width, int height) override;

    // The embedded picture of each of the five distinct states.
    static const char* const pictureNames[5];
};
