#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceManager.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/MidiDeviceStatusButton.h"
#include "ui/dialogs/DeviceInfoComp.h"
#include "support/DeviceWorld.h"
#include "support/RecordingDialogService.h"

using namespace testing_support;

namespace
{
    // A device world drawn with the program's look and feel (the default one, as in the
    // running program, so tiles see it before they have a parent).
    struct TileWorld
    {
        TileWorld()
        {
            configureApplicationProperties();
            lookAndFeel = std::make_unique<LSLookAndFeel>();
            juce::LookAndFeel::setDefaultLookAndFeel (lookAndFeel.get());
        }
        ~TileWorld()
        {
            juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
            lookAndFeel.reset();
            setDeviceManager (nullptr);
            deleteApplicationProperties();
        }

        DeviceWorld devices;
        RecordingDialogService dialogs;
        std::unique_ptr<LSLookAndFeel> lookAndFeel;
    };

    juce::Image paint (MidiDeviceStatusButton& tile, bool over = false, bool down = false)
    {
        juce::Image image (juce::Image::ARGB, tile.getWidth(), tile.getHeight(), true);
        juce::Graphics g (image);
        tile.paintButton (g, over, down);
        return image;
    }

    bool near (juce::Colour a, juce::Colour b, int tolerance = 6)
    {
        return std::abs (a.getRed() - b.getRed()) <= tolerance && std::abs (a.getGreen() - b.getGreen()) <= tolerance
            && std::abs (a.getBlue() - b.getBlue()) <= tolerance && std::abs (a.getAlpha() - b.getAlpha()) <= tolerance;
    }

    int countNear (const juce::Image& image, juce::Rectangle<float> area, juce::Colour colour, int tolerance = 10)
    {
        int n = 0;
        const auto r = area.getSmallestIntegerContainer().getIntersection (image.getBounds());
        for (int y = r.getY(); y < r.getBottom(); ++y)
            for (int x = r.getX(); x < r.getRight(); ++x)
                if (near (image.getPixelAt (x, y), colour, tolerance))
                    ++n;
        return n;
    }

    struct MenuEntry
    {
        int id;
        juce::String text;
        bool enabled;
    };

    std::vector<MenuEntry> entriesOf (const juce::PopupMenu& menu)
    {
        std::vector<MenuEntry> out;
        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
            if (! it.getItem().isSeparator)
                out.push_back ({ it.getItem().itemID, it.getItem().text, it.getItem().isEnabled });
        return out;
    }

    MidiDeviceStatusButton makeKnownMerle (bool update)
    {
        DeviceProfiler::Date date;
        date.year = 2024; date.month = 3; date.day = 9;
        return MidiDeviceStatusButton (DeviceWorld::merle, "Merle", VersionNumber (0, 1, 4, 2, 140, 3), date, 40123, update);
    }
}

TEST (MidiDeviceStatusButton, KnownUnitTileIsAGreyedMakerTileWithItsOwnMenuAndNoStatusBox)
{
    TileWorld w;
    DeviceProfiler::Date date;
    date.year = 2024; date.month = 3; date.day = 9;
    MidiDeviceStatusButton tile (DeviceWorld::merle, "Merle", VersionNumber (0, 1, 4, 2, 140, 3), date, 40123, false);

    EXPECT_EQ (tile.getName(), "Merle device button");
    EXPECT_EQ (tile.getPortIndex(), -1);
    EXPECT_EQ (tile.getStatusFlags(), 0u);
    EXPECT_TRUE (tile.isMakerDevice());
    EXPECT_FALSE (tile.isPolling());
    EXPECT_EQ (tile.getWidth(), 220);
    EXPECT_EQ (tile.getHeight(), 160);

    // The product picture, desaturated: every visible pixel is grey.
    const auto& picture = tile.getPicture();
    ASSERT_TRUE (picture.isValid());
    int visible = 0, coloured = 0;
    for (int y = 0; y < picture.getHeight(); ++y)
        for (int x = 0; x < picture.getWidth(); ++x)
        {
            const auto p = picture.getPixelAt (x, y);
            if (p.getAlpha() < 200)
                continue;
            ++visible;
            if (std::abs (p.getRed() - p.getGreen()) > 2 || std::abs (p.getGreen() - p.getBlue()) > 2)
                ++coloured;
        }
    EXPECT_GT (visible, 100);
    EXPECT_EQ (coloured, 0);

    const auto entries = entriesOf (tile.createMenu());
    ASSERT_EQ (entries.size(), 3u);
    EXPECT_EQ (entries[0].text, "Show last known device information");
    EXPECT_TRUE (entries[0].enabled);
    EXPECT_EQ (entries[1].text, "Show product manual...");
    EXPECT_EQ (entries[2].text, "Remove Merle as a known device");

    // No status box: nothing of the box's light well is drawn around the icon's place.
    const auto image = paint (tile);
    const auto well = paletteColour075.brighter (0.4f);
    EXPECT_EQ (countNear (image, tile.getStatusIconArea(), well, 3), 0);
    // The frame and the name are there.
    EXPECT_TRUE (near (image.getPixelAt (1, tile.getHeight() / 3), paletteColour015));
    EXPECT_GT (countNear (image, { tile.getInnerArea().getX(), tile.getInnerArea().getY() + 4.0f,
                                   tile.getInnerArea().getWidth(), 16.0f }, paletteColour042, 40), 5);
}

TEST (MidiDeviceStatusButton, MenuItemsOpenTheInformationTheManualAndForgetTheUnitThroughTheHub)
{
    TileWorld w;
    auto tile = makeKnownMerle (false);

    juce::String shownName, shownDate, shownSerial;
    w.dialogs.onDialogOptions = [&] (juce::DialogWindow::LaunchOptions& options)
    {
        if (auto* info = dynamic_cast<DeviceInfoComp*> (options.content.get()))
        {
            shownName = info->getNameField().getText();
            shownDate = info->getDateField().getText();
            shownSerial = info->getSerialField().getText();
        }
    };

    w.dialogs.answerMenusWith ({ MidiDeviceStatusButton::showInformationItem,
                                 MidiDeviceStatusButton::showManualItem,
                                 MidiDeviceStatusButton::removeKnownItem });

    const juce::MouseEvent rightClick (juce::Desktop::getInstance().getMainMouseSource(), {},
                                       juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier),
                                       0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &tile, &tile, juce::Time(), {}, juce::Time(), 1, false);
    tile.mouseDown (rightClick);
    tile.mouseDown (rightClick);
    tile.mouseDown (rightClick);

    ASSERT_EQ (w.dialogs.menus.size(), 3u);
    ASSERT_EQ (w.dialogs.dialogTitles, juce::StringArray ("Device Information"));
    EXPECT_EQ (shownName, "Merle");
    EXPECT_EQ (shownDate, "2024.03.09");
    EXPECT_EQ (shownSerial, "40123");

    ASSERT_EQ (w.dialogs.openedUrls.size(), 1u);
    EXPECT_EQ (w.dialogs.openedUrls[0], getContentManager()->getManualUrl (DeviceWorld::merle));

    ASSERT_TRUE (pumpUntil ([&] { return ! w.devices.content.host.eventsWithCode (InfoCode::removeKnownUnit).empty(); }));
    const auto removal = w.devices.content.host.eventsWithCode (InfoCode::removeKnownUnit);
    ASSERT_EQ (removal.size(), 1u);
    EXPECT_EQ (removal[0].p1, DeviceWorld::merle);
    EXPECT_EQ (removal[0].p2, 40123);

    // A double click on a tile that is not connected asks nothing of the hub.
    tile.mouseDoubleClick (rightClick);
    pumpFor (50);
    EXPECT_TRUE (w.devices.content.host.eventsWithCode (InfoCode::showPresetsTab).empty());
}

TEST (MidiDeviceStatusButton, UpdateBadgeIsDrawnOnlyWhenAnUpdateIsAvailable)
{
    TileWorld w;
    auto withUpdate = makeKnownMerle (true);
    auto withoutUpdate = makeKnownMerle (false);
    const juce::Colour badgeYellow (0xffffc837);

    ASSERT_FALSE (withUpdate.getBadgeArea().isEmpty());
    EXPECT_GT (countNear (paint (withUpdate), withUpdate.getBadgeArea(), badgeYellow, 4), 20);
    EXPECT_EQ (countNear (paint (withoutUpdate), withoutUpdate.getBadgeArea(), badgeYellow, 4), 0);
}

TEST (MidiDeviceStatusButton, PortTilesFollowTheirUnitsFlagsIdentityAndConnection)
{
    TileWorld w;
    w.devices.addUnit (DeviceWorld::merle, 140, 60123);
    w.devices.addPorts ("Studio Synth", "Studio Synth");
    ASSERT_GE (w.devices.scan(), 0);
    auto& m = w.devices.manager();
    ASSERT_EQ (m.getNumPairs(), 2);

    int unitIndex = -1, plainIndex = -1;
    for (int i = 0; i < 2; ++i)
        (m.getProductId (i) == DeviceWorld::merle && (m.getDeviceFlags (i) & DeviceObject::identified) != 0
            ? unitIndex : plainIndex) = i;
    ASSERT_GE (unitIndex, 0);
    ASSERT_GE (plainIndex, 0);

    MidiDeviceStatusButton unit (unitIndex), plain (plainIndex);

    EXPECT_EQ (unit.getName(), "device button");
    EXPECT_TRUE (unit.isMakerDevice());
    EXPECT_EQ (unit.getProductId(), DeviceWorld::merle);
    EXPECT_EQ (unit.getSerialNumber(), 60123);
    EXPECT_EQ (unit.getDeviceName(), "Merle Black");        // the variant of its serial range
    EXPECT_EQ (unit.getFirmwareVersion().build, 140);
    EXPECT_TRUE (unit.isContentListed());
    EXPECT_FALSE (unit.getToggleState());
    EXPECT_EQ (unit.getStatusIconIndex(), 4);
    EXPECT_FALSE (unit.isPolling());

    EXPECT_FALSE (plain.isMakerDevice());
    EXPECT_EQ (plain.getProductId(), 0xff);
    EXPECT_EQ (plain.getDeviceName(), m.getPair (plainIndex).displayName);
    const auto plainEntries = entriesOf (plain.createMenu());
    ASSERT_EQ (plainEntries.size(), 1u);                      // no manual for an unknown product
    EXPECT_EQ (plainEntries[0].text, "Show device information");
    EXPECT_FALSE (plainEntries[0].enabled);

    const auto unitEntries = entriesOf (unit.createMenu());
    ASSERT_EQ (unitEntries.size(), 2u);
    EXPECT_TRUE (unitEntries[0].enabled);
    EXPECT_EQ (unitEntries[1].text, "Show product manual...");

    // The status box of an identified unit is drawn.
    EXPECT_GT (countNear (paint (unit), unit.getStatusIconArea(), paletteColour075.brighter (0.4f), 3), 0);

    // Pressed look only for a usable unit.
    const auto pressedUnit = paint (unit, false, true);
    EXPECT_TRUE (near (pressedUnit.getPixelAt (1, unit.getHeight() / 3), paletteColour029));
    const auto plainFlags = plain.getStatusFlags();
    const bool plainUsable = (plainFlags & 0xff000004u) == 0 && (plainFlags & 0x2u) == 0;
    ASSERT_FALSE (plainUsable) << std::hex << plainFlags;
    const auto pressedPlain = paint (plain, false, true);
    EXPECT_TRUE (near (pressedPlain.getPixelAt (1, plain.getHeight() / 3), paletteColour015));

    // Connecting: the tile follows its device object's change notification.
    ASSERT_TRUE (m.selectDevice (unitIndex));
    ASSERT_TRUE (pumpUntil ([&] { return unit.getToggleState(); }));
    EXPECT_EQ (unit.getStatusIconIndex(), 0);
    EXPECT_TRUE (near (paint (unit).getPixelAt (1, unit.getHeight() / 3), paletteColour029));

    // A connected unit's double click asks the hub for the presets tab.
    const juce::MouseEvent click (juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                  &unit, &unit, juce::Time(), {}, juce::Time(), 2, false);
    unit.mouseDoubleClick (click);
    EXPECT_TRUE (pumpUntil ([&] { return ! w.devices.content.host.eventsWithCode (InfoCode::showPresetsTab).empty(); }));
}

TEST (MidiDeviceStatusButton, SpinsWhileTheUnitIdentifiesAndStopsPollingAfterwards)
{
    TileWorld w;
    auto unit = w.devices.addUnit (DeviceWorld::merle, 140, 40123);
    SimulatedUnit::Faults slow;
    slow.replyDelayMs = 300;
    unit->setFaults (slow);

    auto& m = w.devices.startManager();
    m.postMessage (new DeviceCommandMessage (DeviceCommand::scan));
    ASSERT_TRUE (pumpUntil ([&] { return m.getNumPairs() == 1 && (m.getDeviceFlags (0) & DeviceObject::identifying) != 0; }));

    MidiDeviceStatusButton tile (0);
    EXPECT_TRUE (tile.isPolling());
    EXPECT_TRUE ((tile.getStatusFlags() & DeviceObject::identifying) != 0);

    // The spinner is drawn in its colour while busy.
    EXPECT_GT (countNear (paint (tile), tile.getInnerArea(), paletteColour022, 40), 0);

    ASSERT_TRUE (pumpUntil ([&] { return ! tile.isPolling(); }, 60000));
    EXPECT_EQ (tile.getStatusFlags() & DeviceObject::identifying, 0u);
    EXPECT_EQ (countNear (paint (tile), tile.getInnerArea(), paletteColour022, 40), 0);
}
