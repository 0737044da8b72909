#pragma once

#include <juce_graphics/juce_graphics.h>

// The eight pre-rendered state backgrounds of the preset buttons, shared by every
// button of one view. Which image a button shows depends on its markers:
//   0 / 1  a filled slot equal to its factory preset (untoggled / toggled)
//   2 / 3  a filled slot that differs from its factory preset
//   4 / 5  a filled slot of the unit's own data that is changed
//   6      an empty slot
//   7      an empty slot of the unit's own data whose preset is still on the unit
class PresetButtonHelper
{
public:
    PresetButtonHelper();
    virtual ~PresetButtonHelper() = default;

    // Renders all eight images for buttons of this size.
    virtual void prepare (int width, int height) = 0;

    const juce::Image& getImage (int index) const;

    static int chooseImageIndex (bool empty, bool changed, bool isDeviceData, bool differsFromFactory,
                                 bool toggled) noexcept;

protected:
    juce::Image image[8];
    juce::Array<juce::Image*> images;   // the eight members, for walking them in order

    JUCE_DECLARE_NON_COPYABLE (PresetButtonHelper)
};

//==============================================================================
// One process-wide helper of each kind, alive exactly while at least one preset
// button holds it. The first acquire builds it (at the default button size), the
// last release deletes it.
PresetButtonHelper* acquireCellButtonHelper();
void releaseCellButtonHelper();
PresetButtonHelper* acquireIconButtonHelper();
void releaseIconButtonHelper();

// How many buttons hold each helper, and the helper itself (null while none does).
int getCellButtonHelperUserCount();
int getIconButtonHelperUserCount();
PresetButtonHelper* getCurrentCellButtonHelper();
PresetButtonHelper* getCurrentIconButtonHelper();
