#pragma once

#include "ui/dialogs/FirmwareChooserContent.h"

// The modal firmware chooser of a product: a dialog window titled after the product around
// a FirmwareChooserContent, centred on its parent. The caller runs it and then reads the
// choice.
class FirmwareChooserDialog
{
public:
    FirmwareChooserDialog (juce::uint8 productId, juce::Component* parent, bool withCustomUpdate);

    // The product name + " Firmware Updates", or "Product Firmware Updates" without a name.
    const juce::String& getTitle() const noexcept { return title; }

    int runModal();

    // "Start Update" (or a custom image with its build number) closed the dialog.
    bool wasAccepted() const noexcept { return content.isAccepted(); }
    FirmwareUpdateElement getSelectedUpdate() const { return content.getSelectedUpdate(); }

    FirmwareChooserContent& getContent() noexcept { return content; }

private:
    juce::Component* const parent;
    juce::String title;
    FirmwareChooserContent content;
};
