#include <gtest/gtest.h>
#include <cstdlib>
#include "content/ContentManager.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceProfiler.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "ui/DevicePage.h"
#include "support/ContentComponentWorld.h"
#include "support/PresetGridFixtures.h"

using namespace testing_support;

namespace
{
    // The real device page, with dialogs that record being opened.
    struct PageParts : public ContentParts
    {
        std::unique_ptr<DevicePageView> createDevicePage (LarkspireContentComponent& owner) override
        {
            return std::make_unique<DevicePage> (owner);
        }
        std::unique_ptr<ContentDialogs> createDialogs (LarkspireContentComponent&) override
        {
            auto made = std::make_unique<RecordingContentDialogs>();
            dialogs = made.get();
            return made;
        }
        RecordingContentDialogs* dialogs = nullptr;
    };

    // The main content component with the real device page over simulated units, with
    // recorders for its boxes, its dialogs and its broadcast.
    struct PageWorld
    {
        explicit PageWorld (bool onlyMakerDevices = false)
        {
            configureApplicationProperties();
            setSetting (SettingsKeys::onlyShowArdDevices, onlyMakerDevices);
            content = std::make_unique<LarkspireContentComponent> (parts);
            content->setSize (1020, 700);
            content->addChangeListener (&changes);
            getCommandManager().registerAllCommandsForTarget (content.get());
            setDeviceManager (new DeviceManager (content.get(), devices.ports));
            getDeviceManager()->startThread();
            page = dynamic_cast<DevicePage*> (content->getDevicePage());
            page->setSize (1000, 600);
        }
        ~PageWorld()
        {
            setDeviceManager (nullptr);
            pumpFor (20);
            content.reset();
            setCommandManager (nullptr);
            deleteApplicationProperties();
        }

        LarkspireContentComponent& component() { return *content; }
        void deliver (const DeviceInfoMessage& message) { content->handleMessage (message); }

        bool scan()
        {
            const int before = changes.countEvents (InfoCode::scanFinished);
            if (! content->invokeDirectly (AppCommand::scanForDevices, false))
                return false;
            return pumpUntil ([&] { return changes.countEvents (InfoCode::scanFinished) > before
                                           && content->getDeviceState() == 0; }, 60000);
        }

        void disconnect()
        {
            if (getDeviceManager()->getCurrentIndex() >= 0)
            {
                ASSERT_TRUE (content->invokeDirectly (AppCommand::disconnectDevice, false));
                ASSERT_TRUE (pumpUntil ([&] { return getDeviceManager()->getCurrentIndex() < 0; }));
            }
        }

        juce::Array<int> commandsPerformed() const
        {
            juce::Array<int> ids;
            for (auto& c : changes.ofKind (ChangeInfo::commandPerformed))
                ids.add (c.commandId);
            return ids;
        }

        void rightClick (juce::Component& target)
        {
            const juce::MouseEvent e (juce::Desktop::getInstance().getMainMouseSource(), { 20.0f, 20.0f },
                                      juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier),
                                      0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &target, &target, juce::Time(), {}, juce::Time(), 1, false);
            page->mouseDown (e);
        }

        juce::StringArray menuTexts (size_t index) const
        {
            juce::StringArray texts;
            for (juce::PopupMenu::MenuItemIterator it (boxes.menus.at (index)); it.next();)
                if (! it.getItem().isSeparator)
                    texts.add (it.getItem().text);
            return texts;
        }

        DeviceWorld devices;
        PageParts parts;
        RecordingDialogService boxes;
        ChangeRecorder changes;
        std::unique_ptr<LarkspireContentComponent> content;
        DevicePage* page = nullptr;
    };

    // Adds a plain port, a Merle and a Piper (in that order).
    void addThreePorts (PageWorld& w)
    {
        w.devices.addPorts ("Studio Synth", "Studio Synth");
        w.devices.addUnit (DeviceWorld::merle, 140, 40123);
        w.devices.addUnit (DeviceWorld::piper, 100, 777, true);
    }

    // Scans once with two more units plugged in (a Merle XT and a second Merle), so the
    // registry knows them, then unplugs them and scans again: they are known, not present.
    void makeTwoKnownUnits (PageWorld& w)
    {
        auto xt = w.devices.addUnit (DeviceWorld::merleXT, 215, 31000);
        auto second = w.devices.addUnit (DeviceWorld::merle, 140, 40555, false, "Merle Two");
        ASSERT_TRUE (w.scan());
        ASSERT_TRUE (pumpUntil ([&] { return w.component().getDeviceState() == 0; }));
        w.devices.ports->removeDevice (xt);
        w.devices.ports->removeDevice (second);
        ASSERT_TRUE (w.scan());
        ASSERT_TRUE (pumpUntil ([&] { return w.component().getDeviceState() == 0; }));
    }
}

TEST (DevicePage, ScanFillsThePortPanelMakerUnitsFirstInAFlowAndTheKnownPanelAfterwards)
{
    PageWorld w;
    addThreePorts (w);
    makeTwoKnownUnits (w);

    auto& ports = w.page->getPortPanel();
    ASSERT_EQ (ports.getNumButtons(), 3);
    EXPECT_TRUE (ports.getButton (0)->isMakerDevice());
    EXPECT_TRUE (ports.getButton (1)->isMakerDevice());
    EXPECT_FALSE (ports.getButton (2)->isMakerDevice());
    EXPECT_EQ (ports.getButton (2)->getProductId(), 0xff);

    juce::StringArray names;
    for (auto* b : ports.getButtons())
    {
        names.add (b->getDeviceName());
        EXPECT_EQ (b->getRadioGroupId(), DevicePage::portRadioGroup);
        EXPECT_TRUE (b->isVisible());
    }
    EXPECT_TRUE (names.contains ("Merle"));
    EXPECT_TRUE (names.contains ("Piper"));

    // Flow layout: 10 from the edges, 10 between tiles, wrapping at the viewport's width.
    const int tileWidth = ports.getButton (0)->getWidth();
    EXPECT_EQ (ports.getButton (0)->getPosition(), juce::Point<int> (10, 10));
    EXPECT_EQ (ports.getButton (1)->getPosition(), juce::Point<int> (20 + tileWidth, 10));
    EXPECT_EQ (ports.getButton (2)->getPosition(), juce::Point<int> (30 + 2 * tileWidth, 10));
    EXPECT_EQ (ports.getContentHeight(), 20 + ports.getButton (0)->getHeight());

    // The known panel holds the registry's units that are not connected now.
    const auto known = getDeviceProfiler()->getKnownDevices (true);
    auto& knownPanel = w.page->getKnownDevicePanel();
    ASSERT_EQ (known.productIds.size(), 2);
    ASSERT_EQ (knownPanel.getNumButtons(), 2);
    for (auto* b : knownPanel.getButtons())
    {
        EXPECT_EQ (b->getPortIndex(), -1);
        EXPECT_EQ (b->getRadioGroupId(), DevicePage::knownRadioGroup);
        EXPECT_TRUE (b->getSerialNumber() == 31000 || b->getSerialNumber() == 40555);
        EXPECT_EQ (b->getDeviceName(), DeviceProfiler::getVariantDisplayName (b->getProductId(), b->getSerialNumber()));
    }
    // Both panels fit: the known panel gets its whole content height.
    EXPECT_EQ (knownPanel.getHeight(), knownPanel.getContentHeight());

    if (auto* keep = std::getenv ("LARKSPIRE_KEEP_DEVICE_PAGE_SNAPSHOT"))
    {
        juce::File out (keep);
        out.deleteFile();
        juce::FileOutputStream stream (out);
        juce::PNGImageFormat().writeImageToStream (w.page->createComponentSnapshot (w.page->getLocalBounds()), stream);
    }

    // A narrow page wraps the tiles into more rows.
    w.page->setSize (tileWidth + 60, 900);
    EXPECT_EQ (ports.getButton (1)->getX(), 10);
    EXPECT_GT (ports.getButton (1)->getY(), ports.getButton (0)->getBottom());
}

TEST (DevicePage, FilterKeepsPortsWithoutAMakersUnitHiddenAfterEveryScanAndTheMenuTogglesIt)
{
    PageWorld w (true);
    addThreePorts (w);

    for (int scan = 0; scan < 2; ++scan)
    {
        ASSERT_TRUE (w.scan());
        ASSERT_TRUE (pumpUntil ([&] { return w.component().getDeviceState() == 0; }));
        auto& ports = w.page->getPortPanel();
        ASSERT_EQ (ports.getNumButtons(), 3);
        EXPECT_FALSE (ports.getButton (2)->isVisible()) << scan;
        EXPECT_TRUE (ports.getButton (0)->isVisible());
        EXPECT_TRUE (ports.getButton (1)->isVisible());
    }

    // Only the visible tiles are laid out; the hidden one leaves no gap.
    auto& ports = w.page->getPortPanel();
    w.page->setSize (2 * ports.getButton (0)->getWidth() + 40, 600);
    EXPECT_EQ (ports.getContentHeight(), 20 + ports.getButton (0)->getHeight());

    // Item 10 of the page's menu flips the setting and the filter.
    w.boxes.answerMenusWith ({ DevicePage::onlyMakerDevicesItem });
    w.rightClick (*w.page);
    ASSERT_EQ (w.boxes.menus.size(), 1u);
    EXPECT_FALSE (getSettingBool (SettingsKeys::onlyShowArdDevices));
    EXPECT_TRUE (ports.getButton (2)->isVisible());
    EXPECT_GT (ports.getContentHeight(), 20 + ports.getButton (0)->getHeight());   // a second row now

    // The options dialog's change of the setting is applied when it closes.
    setSetting (SettingsKeys::onlyShowArdDevices, true);
    w.deliver (DeviceInfoMessage (InfoCode::optionsClosed, 0, 0, {}));
    EXPECT_FALSE (ports.getButton (2)->isVisible());
}

TEST (DevicePage, RightClickMenuOnlyOnThePageWhileEnabledAndIdle)
{
    PageWorld w;
    addThreePorts (w);
    ASSERT_TRUE (w.scan());
    ASSERT_TRUE (pumpUntil ([&] { return w.component().getDeviceState() == 0; }));

    // Not on a device tile (the tile has its own menu).
    w.rightClick (*w.page->getPortPanel().getButton (0));
    EXPECT_TRUE (w.boxes.menus.empty());

    w.page->setEnabled (false);
    w.rightClick (*w.page);
    EXPECT_TRUE (w.boxes.menus.empty());
    w.page->setEnabled (true);

    w.devices.content.host.applicationState = 2;
    w.rightClick (*w.page);
    EXPECT_TRUE (w.boxes.menus.empty());
    w.devices.content.host.applicationState = 0;

    // A left click shows nothing either.
    const juce::MouseEvent left (juce::Desktop::getInstance().getMainMouseSource(), {},
                                 juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                 w.page, w.page, juce::Time(), {}, juce::Time(), 1, false);
    w.page->mouseDown (left);
    EXPECT_TRUE (w.boxes.menus.empty());

    w.disconnect();
    w.rightClick (*w.page);
    ASSERT_EQ (w.boxes.menus.size(), 1u);
    EXPECT_EQ (w.menuTexts (0), juce::StringArray ({ "Refresh MIDI Devices", "Show MIDI Device Information",
                                                     "Only Show Ardentis Devices" }));

    // With a unit connected the menu offers to disconnect it by name.
    int merleIndex = -1;
    for (auto* b : w.page->getPortPanel().getButtons())
        if (b->getProductId() == DeviceWorld::merle)
            merleIndex = b->getPortIndex();
    ASSERT_GE (merleIndex, 0);
    ASSERT_TRUE (getDeviceManager()->selectDevice (merleIndex));
    w.rightClick (*w.page->getPortPanel().getViewport().getViewedComponent());   // the empty space between tiles
    ASSERT_EQ (w.boxes.menus.size(), 2u);
    EXPECT_TRUE (w.menuTexts (1).contains ("Disconnect Merle"));
}

TEST (DevicePage, PortTileClickConnectsAndToolbarFollowsTheConnection)
{
    PageWorld w;
    addThreePorts (w);
    ASSERT_TRUE (w.scan());
    ASSERT_TRUE (pumpUntil ([&] { return w.component().getDeviceState() == 0; }));
    w.disconnect();
    w.page->updateToolbar (0);

    auto* disconnect = w.page->findToolbarItem (DeviceToolbarItemFactory::disconnectItem);
    auto* update = w.page->findToolbarItem (DeviceToolbarItemFactory::updateItem);
    ASSERT_NE (disconnect, nullptr);
    ASSERT_NE (update, nullptr);
    EXPECT_EQ (w.page->findToolbarItem (DeviceToolbarItemFactory::infoItem), nullptr);   // not in the default set
    EXPECT_FALSE (disconnect->isEnabled());
    EXPECT_FALSE (update->isEnabled());

    // Item 4 enabled by an earlier state does nothing without a unit.
    update->setEnabled (true);
    w.changes.clear();
    w.page->buttonClicked (update);
    pumpFor (100);
    EXPECT_FALSE (w.commandsPerformed().contains (AppCommand::updateFirmware));
    EXPECT_FALSE (w.commandsPerformed().contains (AppCommand::showFirmwareUpdatesAll));

    // A right-button click on a tile, or one on a port without a usable unit, connects nothing.
    MidiDeviceStatusButton* merle = nullptr;
    MidiDeviceStatusButton* plain = nullptr;
    for (auto* b : w.page->getPortPanel().getButtons())
    {
        if (b->getProductId() == DeviceWorld::merle)
            merle = b;
        else if (! b->isMakerDevice())
            plain = b;
    }
    ASSERT_NE (merle, nullptr);
    ASSERT_NE (plain, nullptr);

    w.page->handlePortButtonClick (*plain, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier));
    w.page->handlePortButtonClick (*merle, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier
                                                               | juce::ModifierKeys::rightButtonModifier));
    pumpFor (100);
    EXPECT_FALSE (w.commandsPerformed().contains (AppCommand::connectSelectedDevice));
    EXPECT_EQ (w.page->getFirstToggledPortIndex(), -1);

    // A left click on the Merle connects it through the connect command.
    w.page->handlePortButtonClick (*merle, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier));
    EXPECT_EQ (w.page->getFirstToggledPortIndex(), merle->getPortIndex());
    ASSERT_TRUE (pumpUntil ([&] { return getDeviceManager()->getCurrentIndex() == merle->getPortIndex(); }));
    EXPECT_TRUE (w.commandsPerformed().contains (AppCommand::connectSelectedDevice));
    ASSERT_TRUE (pumpUntil ([&] { return disconnect->isEnabled() && update->isEnabled(); }));

    // While the unit is lost (state 3) the firmware items are off.
    w.page->updateToolbar (3);
    EXPECT_TRUE (disconnect->isEnabled());
    EXPECT_FALSE (update->isEnabled());
    w.page->updateToolbar (0);

    // Item 4 with a unit: the update when a newer build is listed, else the firmware list.
    w.changes.clear();
    w.page->buttonClicked (update);
    const bool newer = getContentManager()->isFirmwareUpdateAvailable (DeviceWorld::merle, 140);
    const int expected = newer ? AppCommand::updateFirmware : AppCommand::showFirmwareUpdatesAll;
    EXPECT_TRUE (pumpUntil ([&] { return w.commandsPerformed().contains (expected); }));
    if (! newer)
        EXPECT_EQ (w.parts.dialogs->calls, juce::StringArray ("firmware chooser"));

    // Item 1 scans.
    w.changes.clear();
    w.page->buttonClicked (w.page->findToolbarItem (DeviceToolbarItemFactory::scanItem));
    EXPECT_TRUE (pumpUntil ([&] { return w.commandsPerformed().contains (AppCommand::scanForDevices); }));
    ASSERT_TRUE (pumpUntil ([&] { return w.component().getDeviceState() == 0
                                         && w.page->getPortPanel().getNumButtons() == 3; }));
}

TEST (DevicePage, StateChangesEmptyAndRefillThePanelsAndForgettingUnitsRebuildsOnlyOnChange)
{
    PageWorld w;
    addThreePorts (w);
    makeTwoKnownUnits (w);
    w.disconnect();

    // Pictures that come late show on every tile of their product, a known unit's (greyed) too.
    const auto merleTile = [] (const DeviceButtonPanel& panel)
    {
        for (auto* b : panel.getButtons())
            if (b->getProductId() == DeviceWorld::merle)
                return b;
        return (MidiDeviceStatusButton*) nullptr;
    };
    const auto shows = [] (MidiDeviceStatusButton* tile, juce::Colour colour)
    {
        juce::Image image (juce::Image::ARGB, tile->getWidth(), tile->getHeight(), true);
        juce::Graphics g (image);
        tile->paintButton (g, false, false);
        const auto& picture = tile->getPicture();
        return countPixelsNear (image, image.getBounds(), colour, 8) > picture.getWidth() * picture.getHeight() * 8 / 10;
    };
    const juce::Colour late (0xff20c040), greyed (0xff606060);
    auto* portTile = merleTile (w.page->getPortPanel());
    auto* knownTile = merleTile (w.page->getKnownDevicePanel());
    ASSERT_TRUE (portTile != nullptr && knownTile != nullptr);
    EXPECT_FALSE (shows (portTile, late));
    EXPECT_FALSE (shows (knownTile, greyed));
    bringLatePictures (DeviceWorld::merle, late);
    w.deliver (DeviceInfoMessage (InfoCode::productPicturesChanged, DeviceWorld::merle, 0, "Merle"));
    EXPECT_TRUE (shows (portTile, late));
    EXPECT_TRUE (shows (knownTile, greyed));

    auto& component = w.component();
    component.setDeviceState (2);
    EXPECT_FALSE (w.page->isEnabled());
    EXPECT_EQ (w.page->getPortPanel().getNumButtons(), 0);
    EXPECT_EQ (w.page->getKnownDevicePanel().getNumButtons(), 0);

    component.setDeviceState (0);
    EXPECT_TRUE (w.page->isEnabled());
    auto& known = w.page->getKnownDevicePanel();
    ASSERT_EQ (known.getNumButtons(), 2);

    // A unit the registry does not hold: nothing changes, the tiles stay the very same.
    auto* first = known.getButton (0);
    w.deliver (DeviceInfoMessage (InfoCode::removeKnownUnit, DeviceWorld::merle, 99999, {}));
    ASSERT_EQ (known.getNumButtons(), 2);
    EXPECT_EQ (known.getButton (0), first);

    // Forgetting a known unit rebuilds the panel without it.
    const int serial = first->getSerialNumber();
    const int product = first->getProductId();
    w.deliver (DeviceInfoMessage (InfoCode::removeKnownUnit, product, serial, {}));
    ASSERT_EQ (known.getNumButtons(), 1);
    EXPECT_NE (known.getButton (0)->getSerialNumber(), serial);

    // Forgetting every disconnected unit.
    w.deliver (DeviceInfoMessage (InfoCode::removeKnownUnit, 255, -1, {}));
    EXPECT_EQ (known.getNumButtons(), 0);

    // State 4 (firmware update) empties the ports and disables the page; back to 0 refills them.
    component.setDeviceState (4);
    EXPECT_FALSE (w.page->isEnabled());
    EXPECT_EQ (w.page->getPortPanel().getNumButtons(), 0);
    component.setDeviceState (0);
    EXPECT_TRUE (w.page->isEnabled());
    EXPECT_EQ (w.page->getPortPanel().getNumButtons(), 3);
}

TEST (DevicePage, PaintsItsBackgroundAndTheLineUnderTheToolbar)
{
    PageWorld w;
    const auto image = w.page->createComponentSnapshot (w.page->getLocalBounds(), true, 1.0f);
    const int toolbarBottom = w.page->getToolbar().getBottom();
    EXPECT_EQ (w.page->getToolbar().getHeight(), (int) w.component().getLSLookAndFeel().getLargeRowHeight());
    EXPECT_EQ (image.getPixelAt (500, toolbarBottom), juce::Colour (0xFF797D80));
    EXPECT_EQ (w.page->getPanels().getY(), toolbarBottom + 1);
    EXPECT_EQ (image.getPixelAt (500, toolbarBottom + 100), juce::Colour (0xFFDAE1E6));
}
