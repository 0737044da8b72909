#include <gtest/gtest.h>
#include <set>
#include "core/Settings.h"
#include "device/DeviceProfiler.h"
#include "device/DeviceStatusText.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/MidiDevicesComp.h"
#include "ui/dialogs/MidiDevicesDialog.h"
#include "ui/dialogs/ProgramDialogs.h"
#include "support/DeviceWorld.h"
#include "support/RecordingDialogService.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    struct SettingsScope
    {
        SettingsScope()  { configureApplicationProperties(); }
        ~SettingsScope() { deleteApplicationProperties(); }
    };

    int rowOf (const MidiDevicesComp& comp, const juce::String& name)
    {
        return comp.getColumn (MidiDevicesComp::deviceName).indexOf (name);
    }
}

TEST (MidiDevicesDialog, StatusTextTakesTheFirstMatchingBit)
{
    EXPECT_EQ (getDeviceStatusText (0x400 | 0x8), "Connected");   // the port bit comes first
    EXPECT_EQ (getDeviceStatusText (0x8 | 0x100), "Ready");
    EXPECT_EQ (getDeviceStatusText (0x4 | 0x2 | 0x100), "Busy / Unavailable");
    EXPECT_EQ (getDeviceStatusText (0x2000000 | 0x1000000), "Scan Failed");
    EXPECT_EQ (getDeviceStatusText (0x1000000 | 0x2), "Unknown ARD Device");
    EXPECT_EQ (getDeviceStatusText (0x200 | 0x1 | 0x800), "<Scanning Device>");
    EXPECT_EQ (getDeviceStatusText (0x800 | 0x100 | 0x2), "No MIDI Output");
    EXPECT_EQ (getDeviceStatusText (0x100 | 0x2), "Unknown State");
    EXPECT_EQ (getDeviceStatusText (0x2), "Not a ARD Device");
    EXPECT_EQ (getDeviceStatusText (0x1), "???");
    EXPECT_EQ (getDeviceStatusText (0), "???");
    EXPECT_EQ (getDeviceStatusText (0x4000000), "???");
}

TEST (MidiDevicesDialog, ListsPortPairsAndUnitsKnownFromEarlierScans)
{
    SettingsScope settings;
    DeviceWorld w;
    auto merle = w.addUnit (DeviceWorld::merle, 140, 55555);
    auto xt = w.addUnit (DeviceWorld::merleXT, 215, 0);
    w.addPorts ("Keyboard In", "");
    w.startManager();
    // A list that is open while the units are found shows them.
    MidiDevicesComp open;
    EXPECT_EQ (open.getNumRows(), 0);
    ASSERT_EQ (w.scan(), 1);
    EXPECT_TRUE (pumpUntil ([&] { return open.getNumRows() == 3
                                         && open.getCell (rowOf (open, "Merle MIDI"), MidiDevicesComp::status) == "Ready"; }));

    {
        MidiDevicesComp comp;
        ASSERT_EQ (comp.getNumRows(), 3);
        EXPECT_EQ (MidiDevicesComp::getHeaders(), (juce::StringArray { "Device Name", "Input Name", "Output Name",
                                                                        "Serial Number", "Version", "Status" }));
        const int m = rowOf (comp, "Merle MIDI");
        ASSERT_GE (m, 0);
        EXPECT_EQ (comp.getCell (m, MidiDevicesComp::inputName), "Merle MIDI");
        EXPECT_EQ (comp.getCell (m, MidiDevicesComp::outputName), "Merle MIDI");
        EXPECT_EQ (comp.getCell (m, MidiDevicesComp::serialNumber), "55555");
        EXPECT_EQ (comp.getCell (m, MidiDevicesComp::version), "1.1.40 build 140");
        EXPECT_EQ (comp.getCell (m, MidiDevicesComp::status), "Ready");

        // An identified unit with serial 0.
        const int x = rowOf (comp, "Merle XT MIDI");
        ASSERT_GE (x, 0);
        EXPECT_EQ (comp.getCell (x, MidiDevicesComp::serialNumber), "Not Set");
        EXPECT_EQ (comp.getCell (x, MidiDevicesComp::version), "1.2.15 build 215");

        // A port without an output and no unit: no serial or version.
        const int k = rowOf (comp, "Unknown Device");
        ASSERT_GE (k, 0);
        EXPECT_EQ (comp.getCell (k, MidiDevicesComp::inputName), "Keyboard In");
        EXPECT_EQ (comp.getCell (k, MidiDevicesComp::outputName), "Not found");
        EXPECT_EQ (comp.getCell (k, MidiDevicesComp::status), "No MIDI Output");
        EXPECT_EQ (comp.getCell (k, MidiDevicesComp::serialNumber), "");
        EXPECT_EQ (comp.getCell (k, MidiDevicesComp::version), "");
    }

    // The connected unit reads "Connected".
    ASSERT_TRUE (w.manager().selectDevice (rowOf (MidiDevicesComp(), "Merle MIDI")));
    {
        MidiDevicesComp comp;
        EXPECT_EQ (comp.getCell (rowOf (comp, "Merle MIDI"), MidiDevicesComp::status), "Connected");
    }
    w.manager().closeCurrentDevice();

    // Unplugged and rescanned, the XT stays in the registry and is listed under its variant
    // name, with the serial and firmware it had.
    w.ports->removeDevice (xt);
    ASSERT_EQ (w.scan(), 1);
    MidiDevicesComp comp;
    ASSERT_EQ (comp.getNumRows(), 3);
    EXPECT_EQ (rowOf (comp, "Merle XT MIDI"), -1);
    const int known = rowOf (comp, "Merle XT");
    ASSERT_EQ (known, 2);   // after the port pairs
    EXPECT_EQ (comp.getCell (known, MidiDevicesComp::status), "Not Connected");
    EXPECT_EQ (comp.getCell (known, MidiDevicesComp::inputName), "");
    EXPECT_EQ (comp.getCell (known, MidiDevicesComp::outputName), "");
    EXPECT_EQ (comp.getCell (known, MidiDevicesComp::serialNumber), "Not Set");
    EXPECT_EQ (comp.getCell (known, MidiDevicesComp::version), "1.2.15 build 215");
    // The connected Merle is not listed a second time as a known unit.
    EXPECT_EQ (rowOf (comp, "Merle Black"), -1);
}

TEST (MidiDevicesDialog, EmptyListSaysSoAndRowsPaintTheirStatusColours)
{
    SettingsScope settings;
    {
        MidiDevicesComp empty (juce::Array<MidiDevicesComp::Device> {});
        EXPECT_EQ (empty.getNumRows(), 0);
        EXPECT_EQ (empty.getWidth(), 400);
        EXPECT_EQ (empty.getHeight(), 150);
        auto image = empty.createComponentSnapshot (empty.getLocalBounds(), true, 1.0f);
        // Background, with the message in ink at the centre line.
        EXPECT_EQ (image.getPixelAt (3, 3).getARGB(), paletteColour090.getARGB());
        int ink = 0;
        for (int x = 0; x < 400; ++x)
            if (image.getPixelAt (x, 75).getARGB() != paletteColour090.getARGB())
                ++ink;
        EXPECT_GT (ink, 20);
    }

    MidiDevicesComp::Device connected;
    connected.name = "Unit A";
    connected.input = connected.output = "Unit A MIDI";
    connected.statusWord = 0x400 | 0x8;
    connected.serial = 7;
    connected.firmware = VersionNumber (1, 2, 3, 4, 567, 0);
    MidiDevicesComp::Device failed;
    failed.name = "Unit B";
    failed.statusWord = 0x2000000 | 0x100;
    MidiDevicesComp comp (juce::Array<MidiDevicesComp::Device> { connected, failed });

    ASSERT_EQ (comp.getNumRows(), 2);
    EXPECT_EQ (comp.getCell (0, MidiDevicesComp::version), "2.3.04 build 567  [beta]");
    EXPECT_EQ (comp.getCell (0, MidiDevicesComp::serialNumber), "7");
    EXPECT_EQ (comp.getCell (1, MidiDevicesComp::status), "Scan Failed");
    EXPECT_EQ (comp.getHeight(), 2 * comp.getMargin() + 3 * comp.getRowHeight());

    // Every column is wide enough for its widest text.
    juce::Font font (14.0f);
    for (int c = 0; c < MidiDevicesComp::numColumns; ++c)
        EXPECT_GE (comp.getColumnWidth (c), juce::roundToInt (font.getStringWidthFloat (comp.getCell (0, c))));
    EXPECT_LE (comp.getColumnX (MidiDevicesComp::status) + comp.getColumnWidth (MidiDevicesComp::status),
               comp.getWidth() - comp.getMargin());

    auto image = comp.createComponentSnapshot (comp.getLocalBounds(), true, 1.0f);
    auto coloursIn = [&] (int row, int column)
    {
        std::set<juce::uint32> colours;
        const int y0 = comp.getMargin() + (row + 1) * comp.getRowHeight();
        for (int y = y0 + 2; y < y0 + comp.getRowHeight() - 2; ++y)
            for (int x = comp.getColumnX (column) + 2; x < comp.getColumnX (column) + comp.getColumnWidth (column) - 2; ++x)
                colours.insert (image.getPixelAt (x, y).getARGB());
        return colours;
    };
    // The header band, the connected status in its blue and the failure in red.
    EXPECT_EQ (image.getPixelAt (comp.getMargin() + 2, comp.getMargin() + 2).getARGB(), paletteColour107.getARGB());
    EXPECT_EQ (coloursIn (0, MidiDevicesComp::status).count (paletteColour108.getARGB()), 1u);
    EXPECT_EQ (coloursIn (1, MidiDevicesComp::status).count (paletteColour014.getARGB()), 1u);
    EXPECT_EQ (coloursIn (1, MidiDevicesComp::status).count (paletteColour108.getARGB()), 0u);
}

TEST (MidiDevicesDialog, RunsAsTheMidiDeviceListThroughTheDialogService)
{
    SettingsScope settings;
    DeviceWorld w;
    w.addUnit (DeviceWorld::merle, 140, 1234);
    w.startManager();
    ASSERT_EQ (w.scan(), 1);

    RecordingDialogService boxes;
    int rowsSeen = -1;
    boxes.onDialog = [&] (juce::Component& content)
    {
        rowsSeen = dynamic_cast<MidiDevicesComp&> (content).getNumRows();
        return 0;
    };
    juce::Component owner;
    ProgramDialogs().runMidiDeviceList (owner);
    EXPECT_EQ (boxes.dialogTitles, juce::StringArray { "MIDI Device List" });
    EXPECT_EQ (rowsSeen, 1);
}
