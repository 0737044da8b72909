#include "ui/dialogs/DeviceInfoComp.h"
#include "core/AppHost.h"
#include "firmware/FirmwareUpdateElement.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

using namespace juce;

DeviceInfoComp::DeviceInfoComp (const String& name, const VersionNumber& version,
                                int year, int month, int day, int serialNumber)
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        scale = laf->getScale();

    for (auto* caption : { &label, &label4, &label3, &label2 })
    {
        caption->setJustificationType (Justification::centredRight);
        caption->setFont (Font (14.0f * scale));
        addAndMakeVisible (caption);
    }

    setUpField (labelName, "unknown");
    setUpField (labelManufactureDate, "not set");
    setUpField (labelSerialNum, "not set");
    setUpField (labelVersion, "unknown");

    if (name.isNotEmpty())
        labelName.setText (name, false);

    // A version read from a unit has a build; an all-zero one was never read.
    if (version != VersionNumber())
        labelVersion.setText (formatFirmwareVersion (version, appIsDeveloper()), false);

    if (serialNumber != 0 && serialNumber != -1)
        labelSerialNum.setText (String (serialNumber), false);

    const auto date = formatManufactureDate (year, month, day);
    if (date.isNotEmpty())
        labelManufactureDate.setText (date, false);

    setSize (roundToInt (420.0f * scale), roundToInt (150.0f * scale));
}

DeviceInfoComp::~DeviceInfoComp() = default;

void DeviceInfoComp::setUpField (TextEditor& field, const String& initialText)
{
    field.setReadOnly (true);
    field.setCaretVisible (false);
    field.setFont (Font (14.0f * scale));
    field.setText (initialText, false);
    addAndMakeVisible (field);
}

String DeviceInfoComp::formatManufactureDate (int year, int month, int day)
{
    if (year < 1971 || year > 3000 || month < 0 || month > 12 || day < 0 || day > 31)
        return {};

    return String::formatted ("%4d.%02d.%02d", year, month, day);
}

void DeviceInfoComp::resized()
{
    auto area = getLocalBounds().reduced (roundToInt (12.0f * scale));
    const int rowHeight = area.getHeight() / 4;
    const int captionWidth = roundToInt (140.0f * scale);

    const std::pair<Label*, TextEditor*> rows[] = { { &label, &labelName },
                                                    { &label4, &labelManufactureDate },
                                                    { &label3, &labelSerialNum },
                                                    { &label2, &labelVersion } };

    for (auto& row : rows)
    {
        auto line = area.removeFromTop (rowHeight);
        row.first->setBounds (line.removeFromLeft (captionWidth));
        row.second->setBounds (line.reduced (2, jmax (1, (rowHeight - roundToInt (22.0f * scale)) / 2)));
    }
}

void DeviceInfoComp::paint (Graphics& g)
{
    g.fillAll (paletteColour032);
}
