#pragma once

#include "model/VersionNumber.h"
#include <juce_gui_basics/juce_gui_basics.h>

// What the program knows of one unit: name, manufacture date, serial number and firmware
// version, each in a read-only field beside its caption. Values that are unknown or out
// of range keep the field's placeholder ("unknown" or "not set").
class DeviceInfoComp : public juce::Component
{
public:
    DeviceInfoComp (const juce::String& name, const VersionNumber& version,
                    int year, int month, int day, int serialNumber);
    ~DeviceInfoComp() override;

    void resized() override;
    void paint (juce::Graphics&) override;

    // "%4d.%02d.%02d", or empty when the date is outside years 1971 to 3000, months 0 to 12
    // or days 0 to 31.
    static juce::String formatManufactureDate (int year, int month, int day);

    const juce::TextEditor& getNameField() const noexcept    { return labelName; }
    const juce::TextEditor& getDateField() const noexcept    { return labelManufactureDate; }
    const juce::TextEditor& getSerialField() const noexcept  { return labelSerialNum; }
    const juce::TextEditor& getVersionField() const noexcept { return labelVersion; }

private:
    void setUpField (juce::TextEditor& field, const juce::String& initialText);

    juce::Label label { "label", "Name:" };
    juce::Label label4 { "label4", "Manufacture Date:" };
    juce::Label label3 { "label3", "Serial Number:" };
    juce::Label label2 { "label2", "Version:" };
    juce::TextEditor labelName { "labelName" };
    juce::TextEditor labelManufactureDate { "labelManufactureDate" };
    juce::TextEditor labelSerialNum { "labelSerialNum" };
    juce::TextEditor labelVersion { "labelVersion" };
    float scale = 1.0f;

    JUCE_DECLARE_NON_COPYABLE (DeviceInfoComp)
};
