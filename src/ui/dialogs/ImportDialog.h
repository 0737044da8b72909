#pragma once

#include "ui/dialogs/ImportContent.h"

// The modal "Import" dialog. run() shows it through the dialog service and gives the
// choices when it ended with "Start Import".
class ImportDialog : public juce::DialogWindow
{
public:
    // The window is made without a desktop peer; the dialog service shows it.
    ImportDialog (juce::Component* owner, const DeviceData* unitData, const juce::String& unitName,
                  const juce::StringArray& destinationNames, const juce::Array<DeviceData*>& destinations,
                  const juce::File& presetFile, const ConversionContent* conversion = nullptr);
    ~ImportDialog() override;

    void closeButtonPressed() override;

    ImportContent& getContent() noexcept { return *content; }

    // True (with the choices filled in) after "Start Import"; false after "Cancel" or Escape.
    static bool run (juce::Component* owner, const DeviceData* unitData, const juce::String& unitName,
                     const juce::StringArray& destinationNames, const juce::Array<DeviceData*>& destinations,
                     const juce::File& presetFile, ImportContent::Choices& choices,
                     const ConversionContent* conversion = nullptr);

private:
    ImportContent* content = nullptr;   // owned by the window

    JUCE_DECLARE_NON_COPYABLE (ImportDialog)
};
