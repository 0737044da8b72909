#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "content/ContentManager.h"
#include "core/AppPaths.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceObject.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "support/ContentComponentWorld.h"

using namespace testing_support;

namespace
{
    struct Row
    {
        int id;
        const char* name;
        const char* description;
        const char* category;
    };

    const Row expectedTable[] =
    {
        { 0x30000, "Show Tools", "Access application functions", "Tools" },
        { 0x30001, "Help", "Show help menu", "Help" },
        { 0x30002, "Sign In", "Sign in to your account", "Account" },
        { 0x30003, "Developer", "Show developer menu", "Developer" },
        { 0x31000, "Options...", "Show user options", "Tools" },
        { 0x31001, "Firmware Updates...", "Show available firmware updates", "Tools" },
        { 0x31002, "Firmware Updates...", "Show available firmware updates", "Tools" },
        { 0x32000, "Read the Manual", "Show the Larkspire manual", "Help" },
        { 0x32001, "Read the Manual", "Show the Larkspire manual", "Help" },
        { 0x32002, "Larkspire Help", "Visit Larkspire @ Ardentis, launched in an external browser", "Help" },
        { 0x32003, "Register Your Product", "Go to the online registration page", "Help" },
        { 0x32004, "Ardentis Support", "Visit Ardentiss's product support site, launched in an external browser", "Help" },
        { 0x32005, "About Larkspire", "Show information about Larkspire", "Help" },
        { 0x32006, "Show MIDI Devices...", "Show all known MIDI devices", "Manage" },
        { 0x36000, "Scan for Devices", "Search for Ardentis products that Larkspire can manage", "Manage" },
        { 0x36001, "Connect selected device", "Connecting to the device will allow you to manage the product", "Manage" },
        { 0x36002, "Disconnect", "Larkspire will close and relinquish control over the device", "Manage" },
        { 0x36003, "Show MIDI Devices...", "Show all known MIDI devices", "Manage" },
        { 0x3D100, "Update firmware", "Start firmware update process", "Manage" },
        { 0x3D101, "Update firmware", "Start firmware update process", "Manage" },
        { 0x3D000, "Download Device Data", "Synchronize with preset and setup data", "Internal" },
        { 0x3D001, "Apply Changes", "Send cached data to attached device", "Internal" },
        { 0x3D002, "Restore Setup", "Send the setup (configuration) data to your device", "Internal" },
        { 0x3D003, "Send Direct To Device", "Send files to import directly to device", "Internal" },
        { 0x3D004, "Restore To Device", "Restore data image to device", "Internal" },
        { 0x3E000, "Use Custom Device Profile...", "Don't download device information from web, use a custom version", "Developer" },
        { 0x3E001, "Generate Preset MD5 Checksums...", "Create a 'factory bank' MD5 checksum profile for the current product", "Developer" },
        { 0x3E002, "Firmware Upload Stress Test", "Starts a stress test that will continually upload firmware to the active device", "Developer" }
    };

    juce::ApplicationCommandInfo infoOf (LarkspireContentComponent& c, int id)
    {
        juce::ApplicationCommandInfo info (id);
        c.getCommandInfo (id, info);
        return info;
    }

    bool isEnabled (LarkspireContentComponent& c, int id)
    {
        return (infoOf (c, id).flags & juce::ApplicationCommandInfo::isDisabled) == 0;
    }

    bool performCommand (LarkspireContentComponent& c, int id)
    {
        juce::ApplicationCommandTarget::InvocationInfo info (id);
        return c.perform (info);
    }

    // The command ids (0 for a separator) of a menu.
    std::vector<int> itemsOf (const juce::PopupMenu& menu)
    {
        std::vector<int> out;
        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
            out.push_back (it.getItem().isSeparator ? 0 : it.getItem().itemID);
        return out;
    }

    juce::String textOf (const juce::PopupMenu& menu, int id)
    {
        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
            if (it.getItem().itemID == id)
                return it.getItem().text;
        return {};
    }

    // The framework's quit command, as the application object declares it.
    struct QuitTarget : juce::ApplicationCommandTarget
    {
        juce::ApplicationCommandTarget* getNextCommandTarget() override { return nullptr; }
        void getAllCommands (juce::Array<juce::CommandID>& c) override { c.add (juce::StandardApplicationCommandIDs::quit); }
        void getCommandInfo (juce::CommandID, juce::ApplicationCommandInfo& r) override
        {
            r.setInfo ("Quit", "Quits the application", "Application", 0);
        }
        bool perform (const InvocationInfo&) override { return true; }
    };

    // Connects a simulated unit through the scan and its automatic connection.
    void connectUnit (ContentComponentWorld& w, juce::uint8 product = DeviceWorld::merle, int build = 140, int serial = 4321)
    {
        // Piper's units answer only the query sent to every unit.
        w.devices.addUnit (product, build, serial, product == DeviceWorld::piper);
        ASSERT_TRUE (w.scan());
        ASSERT_TRUE (isUnitConnected());
    }
}

TEST (ContentCommands, TheTableListsEveryCommandInOrderWithItsTexts)
{
    ContentComponentWorld w;
    auto& c = w.component();

    juce::Array<juce::CommandID> ids;
    c.getAllCommands (ids);
    ASSERT_EQ (ids.size(), 28);

    int i = 0;
    for (auto& row : expectedTable)
    {
        SCOPED_TRACE (juce::String::toHexString (row.id).toStdString());
        EXPECT_EQ (ids[i++], row.id);
        const auto info = infoOf (c, row.id);
        EXPECT_EQ (info.shortName, row.name);
        EXPECT_EQ (info.description, row.description);
        EXPECT_EQ (info.categoryName, row.category);
        EXPECT_TRUE (info.defaultKeypresses.isEmpty());
        EXPECT_EQ (info.flags & juce::ApplicationCommandInfo::isTicked, 0);
    }

    // An id outside the table gets nothing filled in.
    auto unknown = infoOf (c, 0x30004);
    EXPECT_TRUE (unknown.shortName.isEmpty());
}

TEST (ContentCommands, EnablementFollowsTheUnitAndTheDeviceState)
{
    ContentComponentWorld w;
    auto& c = w.component();
    auto& host = w.devices.content.host;

    const int connectedOnly[] = { 0x31001, 0x31002, 0x3D100, 0x3D101, 0x3D000, 0x3D001, 0x3D002, 0x3D003, 0x3D004, 0x3E001, 0x3E002 };
    const int always[] = { 0x30000, 0x30001, 0x30002, 0x30003, 0x31000, 0x32000, 0x32001, 0x32002, 0x32003, 0x32004,
                           0x32005, 0x32006, 0x36000, 0x36003, 0x3E000 };

    for (int id : connectedOnly)
        EXPECT_FALSE (isEnabled (c, id)) << std::hex << id;
    for (int id : always)
        EXPECT_TRUE (isEnabled (c, id)) << std::hex << id;

    connectUnit (w);
    for (int id : connectedOnly)
        EXPECT_TRUE (isEnabled (c, id)) << std::hex << id;

    // Connect: in states 0 and 4 only. Disconnect: named after the unit, in state 0, and
    // in state 3 while a unit is connected.
    const auto name = w.manager().getDeviceDisplayName();
    ASSERT_TRUE (name.startsWith ("Merle"));
    for (int state = 0; state <= 4; ++state)
    {
        SCOPED_TRACE (state);
        host.applicationState = state;
        EXPECT_EQ (isEnabled (c, 0x36001), state == 0 || state == 4);
        EXPECT_EQ (isEnabled (c, 0x36002), state == 0 || state == 3);
        EXPECT_EQ (infoOf (c, 0x36002).shortName, "Disconnect " + name);
        for (int id : always)
            EXPECT_TRUE (isEnabled (c, id)) << std::hex << id;
    }

    // With the unit gone there is no name: "Disconnect", disabled in every state.
    host.applicationState = 0;
    w.manager().closeCurrentDevice();
    for (int state = 0; state <= 4; ++state)
    {
        host.applicationState = state;
        EXPECT_EQ (infoOf (c, 0x36002).shortName, "Disconnect");
        EXPECT_FALSE (isEnabled (c, 0x36002)) << state;
    }
}

TEST (ContentCommands, CommandsOfMissingPagesAndDialogsAreDisabled)
{
    ContentComponentWorld w ([] (RecordingParts& p) { p.withDataPage = false; p.withDialogs = false; });
    auto& c = w.component();
    connectUnit (w);

    // The data page sends what it holds; without it there is nothing to send.
    for (int id : { 0x3D001, 0x3D002, 0x3D003, 0x3D004 })
        EXPECT_FALSE (isEnabled (c, id)) << std::hex << id;
    // The unit's own read does not need the page (a firmware update uses it).
    EXPECT_TRUE (isEnabled (c, 0x3D000));
    for (int id : { 0x31000, 0x31001, 0x31002, 0x32005, 0x32006, 0x36003 })
        EXPECT_FALSE (isEnabled (c, id)) << std::hex << id;

    // Their tab is there but stays empty and closed.
    EXPECT_EQ (c.getTabs().getNumTabs(), 2);
    EXPECT_EQ (c.getTabs().getTabNames(), juce::StringArray ({ "Devices", "Presets" }));
    EXPECT_FALSE (c.getTabs().getTabbedButtonBar().getTabButton (c.getPresetsTabIndex())->isEnabled());

    // Performing them anyway does nothing.
    EXPECT_TRUE (performCommand (c, 0x31000));
    EXPECT_TRUE (performCommand (c, 0x3D001));
    EXPECT_TRUE (w.boxes.boxes.empty());
}

TEST (ContentCommands, CustomProfileTogglesWithATickAndAsksForARestart)
{
    ContentComponentWorld w;
    auto& c = w.component();
    TempFolder folder;
    const auto profile = folder.child ("profile.xml");

    // Cancelled chooser: nothing stored, no notice.
    EXPECT_TRUE (performCommand (c, 0x3E000));
    ASSERT_EQ (w.boxes.choosers.size(), 1u);
    EXPECT_EQ (w.boxes.choosers[0].title, "Custom Device Data");
    EXPECT_EQ (w.boxes.choosers[0].patterns, "*.xml");
    EXPECT_EQ (w.boxes.choosers[0].mode, DialogService::ChooserMode::openFile);
    EXPECT_EQ (w.boxes.choosers[0].initial, juce::File::getSpecialLocation (juce::File::userHomeDirectory));
    EXPECT_TRUE (w.boxes.boxes.empty());
    EXPECT_TRUE (getSettingText (SettingsKeys::developerControlDescriptorUri).isEmpty());

    w.boxes.chooseFiles ({ profile });
    performCommand (c, 0x3E000);
    EXPECT_EQ (getSettingText (SettingsKeys::developerControlDescriptorUri), profile.getFullPathName());
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].title, "Notice");
    EXPECT_EQ (w.boxes.boxes[0].message, "You must restart Larkspire for this change to take effect.");

    const auto info = infoOf (c, 0x3E000);
    EXPECT_EQ (info.shortName, "Disable Custom Device Profile");
    EXPECT_EQ (info.description, "Unlink the custom profile you're using and use the official descriptor");
    EXPECT_NE (info.flags & juce::ApplicationCommandInfo::isTicked, 0);

    // Set: clears without a chooser, then the notice again.
    performCommand (c, 0x3E000);
    EXPECT_EQ (w.boxes.choosers.size(), 2u);
    EXPECT_TRUE (getSettingText (SettingsKeys::developerControlDescriptorUri).isEmpty());
    EXPECT_EQ (w.boxes.titles(), juce::StringArray ({ "Notice", "Notice" }));
    EXPECT_EQ (infoOf (c, 0x3E000).shortName, "Use Custom Device Profile...");
}

TEST (ContentCommands, MenusHoldTheirCommandItems)
{
    ContentComponentWorld w;
    auto& c = w.component();
    QuitTarget quit;
    getCommandManager().registerAllCommandsForTarget (&c);
    getCommandManager().registerAllCommandsForTarget (&quit);

    EXPECT_EQ (c.getMenuBarNames(), juce::StringArray ({ "Account", "Tools", "Help", "Developer" }));
    EXPECT_EQ (itemsOf (c.getMenuForIndex (0, "Account")), (std::vector<int> { 0x30002, 0, 0x1001 }));
    EXPECT_EQ (itemsOf (c.getMenuForIndex (1, "Tools")), (std::vector<int> { 0x31000 }));
    EXPECT_EQ (itemsOf (c.getMenuForIndex (2, "Help")), (std::vector<int> { 0x32002, 0x32004, 0, 0x32006, 0, 0x32005 }));
    EXPECT_EQ (itemsOf (c.getMenuForIndex (3, "Developer")), (std::vector<int> { 0x3E000, 0x3E001 }));

    // Items show the command's current name and enablement.
    EXPECT_EQ (textOf (c.getMenuForIndex (2, "Help"), 0x32005), "About Larkspire");
    setSetting (SettingsKeys::developerControlDescriptorUri, "/x.xml");
    const auto developer = c.getMenuForIndex (3, "Developer");
    for (juce::PopupMenu::MenuItemIterator it (developer); it.next();)
    {
        if (it.getItem().itemID == 0x3E000)
        {
            EXPECT_EQ (it.getItem().text, "Disable Custom Device Profile");
            EXPECT_TRUE (it.getItem().isTicked);
        }
        if (it.getItem().itemID == 0x3E001)
            EXPECT_FALSE (it.getItem().isEnabled);   // no unit
    }

    // The header commands pop their menus up.
    performCommand (c, 0x30000);
    performCommand (c, 0x30001);
    performCommand (c, 0x30003);
    ASSERT_EQ (w.boxes.menus.size(), 3u);
    EXPECT_EQ (itemsOf (w.boxes.menus[0]), (std::vector<int> { 0x31000 }));
    EXPECT_EQ (itemsOf (w.boxes.menus[1]), (std::vector<int> { 0x32002, 0x32004, 0, 0x32006, 0, 0x32005 }));
    EXPECT_EQ (itemsOf (w.boxes.menus[2]), (std::vector<int> { 0x3E000, 0x3E001 }));
}

TEST (ContentCommands, EveryCommandFirstReachesEveryListenerAsKindTwo)
{
    ContentComponentWorld w;
    auto& c = w.component();
    juce::StringArray order;
    w.changes.onChange = [&] (const ChangeInfo& i) { if (i.kind == 2) order.add ("test"); };
    w.parts.dataPage->onChange = [&] (const ChangeInfo& i) { if (i.kind == 2) order.add ("data"); };
    w.parts.devicePage->onChange = [&] (const ChangeInfo& i) { if (i.kind == 2) order.add ("device"); };

    juce::Array<juce::CommandID> ids;
    c.getAllCommands (ids);
    ids.add (0x30004);   // not one of the component's
    ids.add (0x1001);

    for (int id : ids)
    {
        SCOPED_TRACE (juce::String::toHexString (id).toStdString());
        w.changes.clear();
        order.clear();
        const bool handled = performCommand (c, id);
        EXPECT_EQ (handled, id != 0x30004 && id != 0x1001);

        ASSERT_FALSE (w.changes.seen.empty());
        EXPECT_EQ (w.changes.seen[0].kind, 2);
        EXPECT_EQ (w.changes.seen[0].commandId, id);
        // From the last registered listener to the first: the status bar sits between.
        ASSERT_GE (order.size(), 3);
        EXPECT_EQ (order[0], "test");
        EXPECT_EQ (order[1], "data");
        EXPECT_EQ (order[2], "device");
    }

    // Sign in and the stress test do nothing.
    w.boxes.boxes.clear();
    w.boxes.openedUrls.clear();
    performCommand (c, 0x30002);
    performCommand (c, 0x3E002);
    EXPECT_TRUE (w.boxes.boxes.empty());
    EXPECT_TRUE (w.boxes.openedUrls.empty());
}

TEST (ContentCommands, HelpCommandsOpenTheirLinksAndDialogs)
{
    ContentComponentWorld w;
    auto& c = w.component();
    auto& content = *getContentManager();

    for (int id : { 0x32001, 0x32002, 0x32003, 0x32004 })
        performCommand (c, id);
    ASSERT_EQ (w.boxes.openedUrls.size(), 4u);
    EXPECT_EQ (w.boxes.openedUrls[0], content.getManualLink());
    EXPECT_EQ (w.boxes.openedUrls[1], content.getProductSupportLink());
    EXPECT_EQ (w.boxes.openedUrls[2], content.getAccountLink());
    EXPECT_EQ (w.boxes.openedUrls[3], content.getGeneralSupportLink());

    // The local user guide only when it is there.
    performCommand (c, 0x32000);
    EXPECT_EQ (w.boxes.openedUrls.size(), 4u);
    const juce::File guide (AppPaths::getUserGuideFile());
    ASSERT_TRUE (guide.getParentDirectory().createDirectory());
    ASSERT_TRUE (guide.replaceWithText ("guide"));
    performCommand (c, 0x32000);
    ASSERT_EQ (w.boxes.openedUrls.size(), 5u);
    EXPECT_EQ (w.boxes.openedUrls[4], guide.getFullPathName());
    guide.deleteFile();

    performCommand (c, 0x32005);
    performCommand (c, 0x32006);
    performCommand (c, 0x36003);
    EXPECT_EQ (w.parts.dialogs->calls, juce::StringArray ({ "about", "midi devices", "midi devices" }));
}

TEST (ContentCommands, HeaderLayoutKeepsTheSignInLinkOffTheTabs)
{
    for (bool developer : { false, true })
    {
        SCOPED_TRACE (developer);
        ContentComponentWorld w;
        w.devices.content.host.developer = developer;
        LarkspireContentComponent c (w.parts);
        c.setSize (1020, 700);
        c.setVisible (true);

        // Scale 1: margin 10, icons 16, tab depth 31 (14 x 2.22), status strip 29 (14 x 2.1).
        EXPECT_EQ (c.getHelpButton().getBounds(), juce::Rectangle<int> (1020 - 16 - 10, 7, 16, 16));
        EXPECT_EQ (c.getOptionsButton().getBounds(), juce::Rectangle<int> (1020 - 2 * 26, 7, 16, 16));
        EXPECT_EQ (c.getDeveloperButton().getBounds(), juce::Rectangle<int> (1020 - 3 * 26, 7, 16, 16));
        EXPECT_EQ (c.getDeveloperButton().isShowing() || c.getDeveloperButton().getParentComponent() != nullptr, developer);
        EXPECT_EQ (c.getStatusBar().getBounds(), juce::Rectangle<int> (0, 700 - 29, 1020, 29));
        EXPECT_EQ (c.getTabs().getBounds(), juce::Rectangle<int> (0, 0, 1020, 700 - 29));
        EXPECT_EQ (c.getTabs().getTabBarDepth(), 31);

        // The sign-in link sits left of the icons, as wide as its text, 2 pixels inside the strip.
        const auto signIn = c.getSignInButton().getBounds();
        const auto leftIcon = developer ? c.getDeveloperButton().getX() : c.getOptionsButton().getX();
        EXPECT_EQ (signIn.getRight(), leftIcon - 10);
        EXPECT_EQ (signIn.getWidth(), c.getSignInButton().getBestWidth());
        EXPECT_EQ (signIn.getY(), 2);
        EXPECT_EQ (signIn.getHeight(), 31 - 4);
        EXPECT_EQ (c.getSignInButton().getButtonText(), "Sign in");
        EXPECT_EQ (c.getSignInButton().getTooltip(), "Click to sign in to your Ardentis account");
        EXPECT_EQ (c.getSignInButton().findColour (juce::HyperlinkButton::textColourId).getARGB(), 0xff595959u);

        auto& bar = c.getTabs().getTabbedButtonBar();
        for (int i = 0; i < bar.getNumTabs(); ++i)
        {
            const auto tab = bar.getTabButton (i)->getBounds() + bar.getPosition();
            EXPECT_FALSE (tab.intersects (signIn)) << tab.toString() << " / " << signIn.toString();
        }

        // A click on a tab reaches the tab, not the link above it.
        const auto devicesTab = bar.getTabButton (0)->getScreenBounds().getCentre() - c.getScreenPosition();
        EXPECT_EQ (c.getComponentAt (devicesTab), bar.getTabButton (0));
    }
}

TEST (ContentCommands, PaintsItsStripsIntoAnImage)
{
    ContentComponentWorld w;
    auto& c = w.component();
    const auto image = c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f);
    ASSERT_TRUE (image.isValid());
    // The status strip's blue along the bottom and the page background above it.
    EXPECT_EQ (image.getPixelAt (500, 700 - 3).getARGB(), 0xff00435au);
    EXPECT_EQ (image.getPixelAt (500, 400).getARGB(), 0xffdae1e6u);
    // The help icon's dark slate in the header.
    int dark = 0;
    const auto help = c.getHelpButton().getBounds();
    for (int y = help.getY(); y < help.getBottom(); ++y)
        for (int x = help.getX(); x < help.getRight(); ++x)
            if (image.getPixelAt (x, y).getBrightness() < 0.45f)
                ++dark;
    EXPECT_GT (dark, 30);
}

TEST (ContentCommands, SyncStartsBusyWithTheSlotCountAndEndsIdle)
{
    ContentComponentWorld w;
    auto& c = w.component();
    connectUnit (w, DeviceWorld::piper, 100, 777);
    auto& data = *w.manager().getDeviceData();

    const auto before = w.countEndings();
    ASSERT_TRUE (c.invokeDirectly (0x3D000, false));
    EXPECT_EQ (c.getStatusBar().getStepTotal(), data.getNumSlots());
    EXPECT_EQ (c.getStatusBar().getStepsDone(), 0);
    EXPECT_TRUE (c.getStatusBar().getProgressBar().isVisible());
    EXPECT_FALSE (w.parts.dataPage->page.isEnabled());
    EXPECT_FALSE (w.parts.devicePage->page.isEnabled());

    const auto ending = w.waitForEnding (before);
    EXPECT_EQ (ending.code, InfoCode::commandDone);
    EXPECT_EQ (ending.commandCode, DeviceCommand::readAll);
    EXPECT_TRUE (w.parts.dataPage->page.isEnabled());
    EXPECT_TRUE (w.parts.devicePage->page.isEnabled());
    EXPECT_FALSE (c.getStatusBar().getProgressBar().isVisible());
    EXPECT_GT (c.getStatusBar().getStepsDone(), 5);   // one step per preset read
}

TEST (ContentCommands, ButtonsBoundToCommandsFollowTheirEnablement)
{
    ContentComponentWorld w;
    auto& c = w.component();
    juce::TextButton sync ("Sync");
    sync.setCommandToTrigger (&getCommandManager(), AppCommand::downloadDeviceData, true);
    EXPECT_FALSE (sync.isEnabled());

    w.devices.addUnit (DeviceWorld::merle, 140, 4321);
    ASSERT_TRUE (w.scan());
    EXPECT_TRUE (pumpUntil ([&] { return sync.isEnabled(); }));

    c.connectToDevice (-1);
    EXPECT_TRUE (pumpUntil ([&] { return ! sync.isEnabled(); }));

    // Header buttons: Options follows its dialog; the sign-in link is bound once online.
    EXPECT_TRUE (c.getOptionsButton().isEnabled());
    EXPECT_EQ (c.getOptionsButton().getCommandID(), AppCommand::showOptions);
    EXPECT_EQ (c.getHelpButton().getCommandID(), AppCommand::showHelp);
    EXPECT_EQ (c.getDeveloperButton().getCommandID(), AppCommand::showDeveloper);
    sync.setCommandToTrigger (nullptr, 0, false);
}

TEST (ContentCommands, ChecksumProfileExportsTheUnitsDigests)
{
    ContentComponentWorld w;
    auto& c = w.component();
    TempFolder folder;
    const auto file = folder.child ("signatures.xml");

    // Nothing connected: the command is disabled, and performing it writes nothing.
    w.boxes.chooseFiles ({ file });
    performCommand (c, AppCommand::generatePresetChecksums);
    EXPECT_FALSE (file.exists());

    auto unit = w.devices.addUnit (DeviceWorld::merle, 140, 4321);
    unit->fillPresets ({ 1, 2, 3 }, 5);
    ASSERT_TRUE (w.scan());
    const auto before = w.countEndings();
    c.invokeDirectly (AppCommand::downloadDeviceData, false);
    ASSERT_EQ (w.waitForEnding (before).code, InfoCode::commandDone);

    w.boxes.chooseFiles ({ file });
    ASSERT_TRUE (c.invokeDirectly (AppCommand::generatePresetChecksums, false));
    const auto& chooser = w.boxes.choosers.back();
    EXPECT_EQ (chooser.title, "Export Preset Signatures");
    EXPECT_EQ (chooser.mode, DialogService::ChooserMode::saveFileConfirmOverwrite);
    EXPECT_EQ (chooser.patterns, "*.xml");
    auto xml = juce::parseXML (file);
    ASSERT_NE (xml, nullptr);
    EXPECT_TRUE (xml->hasTagName ("factoryBank"));
    EXPECT_EQ (xml->getNumChildElements(), 3);
    EXPECT_EQ (xml->getChildElement (0)->getStringAttribute ("md5"),
               w.manager().getDeviceData()->getPreset (1)->getMd5().toHexString());

    // A file that cannot be written is reported.
    w.boxes.chooseFiles ({ folder.child ("missing").getChildFile ("deeper").getChildFile ("x.xml") });
    juce::File (folder.child ("missing")).replaceWithText ("a file, not a folder");
    c.invokeDirectly (AppCommand::generatePresetChecksums, false);
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].title, "Export Preset Signatures");
}
