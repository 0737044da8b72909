#include "ui/dialogs/MidiDevicesComp.h"
#include "core/Settings.h"
#include "device/DeviceManager.h"
#include "device/DeviceObject.h"
#include "device/DeviceProfiler.h"
#include "device/DeviceStatusText.h"
#include "firmware/FirmwareUpdateElement.h"
#include "ui/ColourPalette.h"

namespace
{
    constexpr const char* noDevicesText = "No MIDI Devices Found";
    constexpr const char* notConnectedText = "Not Connected";
    constexpr int followIntervalMs = 500;

    // The texts of the grid's cells, column by column.
    void fillColumns (const juce::Array<MidiDevicesComp::Device>& devices, juce::StringArray* columns)
    {
        using Comp = MidiDevicesComp;
        for (auto& d : devices)
        {
            const bool identified = (d.statusWord & DeviceObject::identified) != 0;
            columns[Comp::deviceName].add (d.name);
            columns[Comp::inputName].add (d.input);
            columns[Comp::outputName].add (d.output);
            columns[Comp::serialNumber].add (identified ? (d.serial == 0 ? juce::String ("Not Set") : juce::String (d.serial))
                                                        : juce::String());
            columns[Comp::version].add (identified ? formatFirmwareVersion (d.firmware, false) : juce::String());
            columns[Comp::status].add (d.statusText.isNotEmpty() ? d.statusText : getDeviceStatusText (d.statusWord));
        }
    }
}

MidiDevicesComp::MidiDevicesComp()
{
    build (collectDevices());
    startTimer (followIntervalMs);
}

MidiDevicesComp::MidiDevicesComp (const juce::Array<Device>& devices)
{
    build (devices);
}

MidiDevicesComp::~MidiDevicesComp() = default;

const juce::StringArray& MidiDevicesComp::getHeaders()
{
    static const juce::StringArray headers { "Device Name", "Input Name", "Output Name",
                                             "Serial Number", "Version", "Status" };
    return headers;
}

juce::Array<MidiDevicesComp::Device> MidiDevicesComp::collectDevices()
{
    juce::Array<Device> devices;

    if (auto* manager = getDeviceManager())
    {
        const auto list = manager->getDeviceList();
        for (int i = 0; i < list.displayNames.size(); ++i)
        {
            Device d;
            d.name = list.displayNames[i];
            d.input = list.inputNames[i];
            d.output = list.outputNames[i];
            d.statusWord = list.statusWords[i];
            d.serial = list.serialNumbers[i];
            d.firmware = list.firmwareVersions[i];
            devices.add (d);
        }
    }

    if (auto* profiler = getDeviceProfiler())
    {
        // Units from earlier runs were identified then: their registry entry holds the
        // serial number and the firmware they had, which is shown with them.
        const auto known = profiler->getKnownDevices (true);
        for (int i = 0; i < known.names.size(); ++i)
        {
            Device d;
            d.name = DeviceProfiler::getVariantDisplayName ((juce::uint8) known.productIds[i], known.serialNumbers[i]);
            if (d.name.isEmpty())
                d.name = known.names[i];
            d.statusWord = DeviceObject::identified;
            d.statusText = notConnectedText;
            d.serial = known.serialNumbers[i];
            d.firmware = known.firmwareVersions[i];
            devices.add (d);
        }
    }

    return devices;
}

void MidiDevicesComp::timerCallback()
{
    const auto devices = collectDevices();
    juce::StringArray now[numColumns];
    fillColumns (devices, now);
    for (int c = 0; c < numColumns; ++c)
        if (now[c] != columns[c])
        {
            build (devices);
            repaint();
            return;
        }
}

void MidiDevicesComp::build (const juce::Array<Device>& devices)
{
    for (auto& column : columns)
        column.clear();
    columnWidths.clear();
    fillColumns (devices, columns);

    scale = getUiScalingFactor();
    font = juce::Font (14.0f * scale);
    headerFont = juce::Font (14.0f * scale, juce::Font::bold);
    rowHeight = juce::roundToInt (14.0f * scale * 1.8f);
    margin = juce::roundToInt (10.0f * scale);

    if (getNumRows() == 0)
    {
        setSize (400, 150);
        return;
    }

    const int padding = juce::roundToInt (8.0f * scale);
    int width = 2 * margin;
    for (int c = 0; c < numColumns; ++c)
    {
        int w = juce::roundToInt (headerFont.getStringWidthFloat (getHeaders()[c]));
        for (auto& text : columns[c])
            w = juce::jmax (w, juce::roundToInt (font.getStringWidthFloat (text)));
        columnWidths.add (w + 2 * padding);
        width += w + 2 * padding;
    }

    setSize (juce::jmax (400, width), 2 * margin + (getNumRows() + 1) * rowHeight);
}

int MidiDevicesComp::getColumnX (int column) const
{
    int x = margin;
    for (int c = 0; c < column && c < columnWidths.size(); ++c)
        x += columnWidths[c];
    return x;
}

int MidiDevicesComp::getColumnWidth (int column) const
{
    if (column == numColumns - 1)   // the last column takes what is left
        return juce::jmax (columnWidths[column], getWidth() - margin - getColumnX (column));
    return columnWidths[column];
}

juce::Colour MidiDevicesComp::getStatusColour (const juce::String& statusText)
{
    if (statusText == "Connected")
        return paletteColour108;
    if (statusText == "Ready")
        return paletteColour107;
    if (statusText == notConnectedText)
        return paletteColour110;
    if (statusText == "Busy / Unavailable" || statusText == "Scan Failed" || statusText == "No MIDI Output")
        return paletteColour014;
    if (statusText == "Unknown ARD Device" || statusText == "Unknown State")
        return paletteColour037;
    return paletteColour091;
}

void MidiDevicesComp::paint (juce::Graphics& g)
{
    g.fillAll (paletteColour090);

    if (getNumRows() == 0)
    {
        g.setColour (paletteColour110);
        g.setFont (juce::Font (16.0f * scale, juce::Font::bold));
        g.drawText (noDevicesText, getLocalBounds(), juce::Justification::centred, false);
        return;
    }

    const int padding = juce::roundToInt (8.0f * scale);
    const int gridWidth = getWidth() - 2 * margin;

    // Header band, then the rows on alternating light stripes.
    g.setColour (paletteColour107);
    g.fillRect (margin, margin, gridWidth, rowHeight);
    g.setFont (headerFont);
    g.setColour (paletteColour008);
    for (int c = 0; c < numColumns; ++c)
        g.drawText (getHeaders()[c], getColumnX (c) + padding, margin, getColumnWidth (c) - 2 * padding, rowHeight,
                    juce::Justification::centredLeft, true);

    g.setFont (font);
    for (int r = 0; r < getNumRows(); ++r)
    {
        const int y = margin + (r + 1) * rowHeight;
        if (r % 2 == 1)
        {
            g.setColour (paletteColour008);
            g.fillRect (margin, y, gridWidth, rowHeight);
        }
        for (int c = 0; c < numColumns; ++c)
        {
            const auto& text = columns[c][r];
            g.setColour (c == status ? getStatusColour (text) : paletteColour091);
            g.drawText (text, getColumnX (c) + padding, y, getColumnWidth (c) - 2 * padding, rowHeight,
                        juce::Justification::centredLeft, true);
        }
    }

    g.setColour (paletteColour065);
    g.drawRect (margin, margin, gridWidth, (getNumRows() + 1) * rowHeight, 1);
    for (int c = 1; c < numColumns; ++c)
        g.fillRect (getColumnX (c), margin, 1, (getNumRows() + 1) * rowHeight);
}
