#pragma once

#include "firmware/FirmwareUpdateElement.h"
#include <juce_gui_basics/juce_gui_basics.h>

// The inside of the firmware chooser: the product's firmware versions on the left, the
// chosen version's release date and description on the right, and the buttons "Custom
// Update..." (only when custom images are allowed), "Start Update" and "Cancel". A version
// whose image is still downloading says so above its description, and can be started once
// its image is there.
class FirmwareChooserContent : public juce::Component,
                               public juce::ListBoxModel,
                               public juce::Button::Listener,
                               private juce::Timer
{
public:
    // Lists the content manager's firmware list of the product.
    FirmwareChooserContent (juce::uint8 productId, bool allowCustomUpdate);
    ~FirmwareChooserContent() override;

    // "Start Update" closed the dialog (or a custom image was given its build number).
    bool isAccepted() const noexcept { return accepted; }

    // The custom element when one was made, else the selected row's, else an empty one.
    FirmwareUpdateElement getSelectedUpdate() const;
    const FirmwareUpdateElement* getCustomElement() const noexcept { return customElement.get(); }
    const juce::Array<FirmwareUpdateElement>& getFirmwareList() const noexcept { return firmwareList; }

    // The details area that paint() fills (the release date and description lie on it).
    juce::Rectangle<int> getDetailsArea() const noexcept { return detailsArea; }
    // The description shown for the selected row (null before the first selection).
    juce::Component* getDescriptionComponent() const noexcept { return description.get(); }

    // The build number offered for a custom image: the number after the last word "build"
    // in its path (blanks, "_", "-", "." and "=" may stand between); empty when none.
    static juce::String suggestBuildNumber (const juce::String& path);

    void paint (juce::Graphics&) override;
    void resized() override;

    // ListBoxModel
    int getNumRows() override;
    void paintListBoxItem (int row, juce::Graphics&, int width, int height, bool selected) override;
    void selectedRowsChanged (int lastRowSelected) override;

    // Button::Listener
    void buttonClicked (juce::Button*) override;

    juce::Label labelVersions;
    juce::Label labelDetails;
    juce::Label labelReleaseDate;
    juce::ListBox listBoxVersions;
    juce::Viewport viewportDescription;
    juce::TextButton textButtonStartUpdate { "Start Update" };
    juce::TextButton textButtonCancel { "Cancel" };
    juce::TextButton textButtonCustomUpdate { "Custom Update..." };

private:
    class DescriptionComponent;

    void showDetails (int row);
    // Looks again at the images still downloading (every second while there are any); "Start
    // Update" is enabled only for a version whose image is there.
    void timerCallback() override;
    void chooseCustomImage();
    void close (int result);

    // The look and feel's metrics, or the plain defaults when it is not the program's.
    float getFontHeightA() const;
    float getScale() const;
    int getMargin() const;

    const juce::uint8 productId;
    juce::Array<FirmwareUpdateElement> firmwareList;
    juce::Array<bool> downloading;   // by row
    std::unique_ptr<FirmwareUpdateElement> customElement;
    std::unique_ptr<juce::Component> description;
    juce::Rectangle<int> detailsArea;
    juce::Font font;
    bool accepted = false;

    JUCE_DECLARE_NON_COPYABLE (FirmwareChooserContent)
};
