#pragma once

#include "model/DeviceData.h"
#include "ui/PresetButtonHelper.h"
#include <juce_gui_basics/juce_gui_basics.h>

// One slot of the preset grid, drawn as a flat cell (view 0) or as an icon tile
// (view 1). The grid sets its markers and repaints it; the state backgrounds come
// from the shared helpers.
class PresetButton : public juce::ImageButton
{
public:
    enum ViewType { cellView = 0, iconView = 1 };

    explicit PresetButton (int slot);
    ~PresetButton() override;

    void resized() override;
    void paintButton (juce::Graphics&, bool isMouseOver, bool isButtonDown) override;

    virtual int getSlot() const { return slot; }
    virtual bool isEmpty() const { return empty; }
    virtual void setPreset (juce::WeakReference<DeviceData> data, bool showsDeviceData);
    virtual void setEmpty (bool shouldBeEmpty) { empty = shouldBeEmpty; }
    virtual void setChanged (bool shouldBeChanged) { changed = shouldBeChanged; }

    bool isChanged() const noexcept { return changed; }
    bool showsDeviceData() const noexcept { return isDeviceData; }
    DeviceData* getDeviceData() const { return deviceData.get(); }

    // The modifier keys and mouse buttons of the event that fired the last click: the
    // current modifiers no longer hold the released button when listeners hear of it.
    const juce::ModifierKeys& getClickModifiers() const noexcept { return clickModifiers; }
    void clicked (const juce::ModifierKeys& modifiers) override;

    int getViewType() const noexcept { return viewType; }
    // Stores the view and lays the button out for it (no repaint).
    void setViewType (int newViewType);

    // The background the button shows now (0 to 7, see PresetButtonHelper).
    int getImageIndex() const;
    // Steps of the preset in the slot; 0 when the slot is empty or there is no data.
    int getStepCount() const;

    // Renders the shared helper of a view for buttons of this size (the grid calls it
    // when its button size changes).
    void prepareHelper (int forViewType, int width, int height);

    // The icon layout of the last resize (icon view only).
    juce::Point<int> getIconPosition() const noexcept { return { iconX, iconY }; }
    juce::Rectangle<int> getTextArea() const noexcept { return textArea; }
    juce::Rectangle<int> getNumberArea() const noexcept { return numberArea; }
    const juce::Font& getButtonFont() const noexcept { return font; }

private:
    void paintCell (juce::Graphics&);
    void paintIcon (juce::Graphics&, bool isMouseOver, bool isButtonDown);
    float getSmallFontHeight();

    PresetButtonHelper* cellHelper;
    PresetButtonHelper* iconHelper;
    juce::WeakReference<DeviceData> deviceData;
    bool isDeviceData = false;
    bool empty = true;
    bool changed = false;
    int slot;
    int viewType = cellView;
    juce::ModifierKeys clickModifiers;
    juce::Font font;

    juce::Rectangle<float> shadowArea, frameArea, innerArea;
    int iconX = 0, iconY = 0;
    juce::Rectangle<int> textArea, numberArea;
    float numberFontHeight = 13.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetButton)
};

// Sets the view of every button and repaints each (the grid lays them out again).
void setPresetButtonsViewType (const juce::OwnedArray<PresetButton>& buttons, int viewType);

// The button a drop at `point` (in the buttons' parent) lands nearest to: the last
// button when the point lies below or after it, else the button from index 1 on whose
// centre is nearest (the first of equals). Null for an empty array.
PresetButton* findNearestPresetButton (const juce::OwnedArray<PresetButton>& buttons, juce::Point<int> point);
