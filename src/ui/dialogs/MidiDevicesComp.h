#pragma once

#include "model/VersionNumber.h"
#include <juce_gui_basics/juce_gui_basics.h>

// A read-only grid of every MIDI port pair and every unit known from earlier runs: name,
// ports, serial number, firmware version and state, under a header row. Made from the
// process-wide device manager and device profiler, it follows them for as long as it exists,
// so that units found (or lost) while the list is open show in it.
class MidiDevicesComp : public juce::Component,
                        private juce::Timer
{
public:
    enum Column { deviceName, inputName, outputName, serialNumber, version, status, numColumns };

    // One line of the grid as it is built: the texts are made from these.
    struct Device
    {
        juce::String name, input, output;
        juce::uint32 statusWord = 0;
        juce::String statusText;          // empty: the text of the status word
        int serial = 0;
        VersionNumber firmware;
    };

    // Lists what the process-wide managers know, now and later.
    MidiDevicesComp();
    // Lists the given devices (what collectDevices() gives, in tests any list).
    explicit MidiDevicesComp (const juce::Array<Device>& devices);
    ~MidiDevicesComp() override;

    // The port pairs of the device manager, then the known units that are not connected now.
    static juce::Array<Device> collectDevices();

    static const juce::StringArray& getHeaders();
    int getNumRows() const noexcept                        { return columns[0].size(); }
    const juce::StringArray& getColumn (int column) const  { return columns[juce::jlimit (0, numColumns - 1, column)]; }
    juce::String getCell (int row, int column) const       { return getColumn (column)[row]; }

    // The grid's geometry, for painting and for tests.
    int getRowHeight() const noexcept                      { return rowHeight; }
    int getColumnX (int column) const;
    int getColumnWidth (int column) const;
    int getMargin() const noexcept                         { return margin; }

    // The colour a status text is drawn in.
    static juce::Colour getStatusColour (const juce::String& statusText);

    void paint (juce::Graphics&) override;

private:
    void build (const juce::Array<Device>& devices);
    void timerCallback() override;

    juce::StringArray columns[numColumns];
    juce::Array<int> columnWidths;
    float scale = 1.0f;
    juce::Font font, headerFont;
    int rowHeight = 0, margin = 0;

    JUCE_DECLARE_NON_COPYABLE (MidiDevicesComp)
};
