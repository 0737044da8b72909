#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>

// An on/off entry of a filter menu: a tick box, an optional icon and a text. A click
// flips the entry through its owner and leaves the menu open, so that several
// entries can be changed in one go; the entry reads its state back from the owner.
class MenuToggleItem : public juce::PopupMenu::CustomComponent
{
public:
    MenuToggleItem (const juce::String& text, std::function<bool()> isOn, std::function<void()> onClick,
                    std::unique_ptr<juce::Drawable> icon = {});

    const juce::String& getText() const noexcept { return text; }
    bool isOn() const { return readState != nullptr && readState(); }
    const juce::Drawable* getIcon() const noexcept { return icon.get(); }

    // What a click does: flips the entry and repaints it.
    void click();

    void getIdealSize (int& idealWidth, int& idealHeight) override;
    void paint (juce::Graphics&) override;
    void mouseUp (const juce::MouseEvent&) override;

private:
    juce::Font getItemFont() const;

    const juce::String text;
    std::function<bool()> readState;
    std::function<void()> onClick;
    std::unique_ptr<juce::Drawable> icon;

    JUCE_DECLARE_NON_COPYABLE (MenuToggleItem)
};
