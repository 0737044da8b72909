#pragma once

#include "ui/datapage/ArchiveChangeListener.h"
#include "ui/datapage/PresetDataChangeListener.h"
#include <juce_gui_basics/juce_gui_basics.h>

// A container shown by the workspace or the details panel, tied to one source node
// while it is shown and told of the page's preset and archive changes.
class PanelContainerBase : public juce::Component,
                           public juce::KeyListener,
                           public PresetDataChangeListener,
                           public ArchiveChangeListener
{
public:
    PanelContainerBase();
    ~PanelContainerBase() override = default;

    virtual void setSource (const juce::ValueTree& node);
    virtual juce::ValueTree getSource() const { return source; }
    virtual void clearSource();
    virtual int getPreferredHeight() const { return preferredHeight; }
    virtual void setPreferredHeight (int height) { preferredHeight = height; }
    virtual void updateLayout (int width, int height) = 0;
    virtual void updateFromSource() {}

    void paint (juce::Graphics&) override;

    using juce::Component::keyPressed;
    bool keyPressed (const juce::KeyPress&, juce::Component*) override { return false; }
    void presetDataChanged (const juce::ValueTree&, const juce::Array<int>&) override {}
    void archiveChanged (const juce::ValueTree&, const juce::Identifier&) override {}

    int getScrollBarThickness() const noexcept { return scrollBarThickness; }

    // The UI scale of the look and feel (1.0 when it is not the program's own).
    float getUiScale();

protected:
    juce::ValueTree source;
    int scrollBarThickness;
    int preferredHeight = -1;
    int marginX, marginY;
};
