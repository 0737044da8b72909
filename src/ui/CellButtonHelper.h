#pragma once

#include "ui/PresetButtonHelper.h"

// The cell view's backgrounds: each image is twice the button width by its height,
// a vertical gradient for the untoggled states and a flat, lighter fill for the
// toggled ones.
class CellButtonHelper : public PresetButtonHelper
{
public:
    static constexpr int defaultWidth = 125;
    static constexpr int defaultHeight = 25;

    void prepare (int width, int height) override;
};
