#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "content/ContentTypes.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceObject.h"
#include "device/VirtualMidiPortLayer.h"
#include "archive/LocalArchiveManager.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "support/ContentComponentWorld.h"
#include "support/FirmwareUpdateRig.h"
#include "ui/ContentMessagesSupport.h"

using namespace testing_support;
using Icon = DialogService::Icon;

//==============================================================================
TEST (ContentMessages, QuittingOrClosingTheUnitWithUnsavedEditsAsksFirst)
{
    ContentComponentWorld w;
    auto& c = w.component();

    // Nothing connected: allowed, and the listeners hear of it.
    EXPECT_TRUE (c.requestQuit (false));
    ASSERT_EQ (w.changes.events (InfoCode::quitAccepted).size(), 1u);
    EXPECT_EQ (w.changes.events (InfoCode::quitAccepted)[0].p1, 0);
    EXPECT_TRUE (w.boxes.boxes.empty());

    addUnit (w, DeviceWorld::merle, 140, 4444);
    addUnit (w, DeviceWorld::merle, 140, 5555);
    ASSERT_TRUE (w.scan());
    const int unitIndex = w.manager().getCurrentIndex();
    ASSERT_GE (unitIndex, 0);
    auto* live = w.manager().getDeviceData();
    ASSERT_NE (live, nullptr);
    w.parts.dataPage->dataSet = new DataSet (live, nullptr);
    auto& working = *w.parts.dataPage->dataSet->getWorking();
    working.createPreset (3)->setName ("Unsent");
    ASSERT_TRUE (w.parts.dataPage->dataSet->hasUnsavedChanges());
    auto message = [&] (const juce::String& ifYou)
    {
        return "Your preset edits have not been transferred to " + w.manager().getDeviceDisplayName() + " yet. If you " + ifYou
             + " now, these changes will be discarded. To avoid losing your changes use the 'Apply' or 'Backup' functions on the toolbar.";
    };

    w.boxes.answerWith ({ 1 });   // "Cancel"
    EXPECT_FALSE (c.requestQuit (false));
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].title, "Changes Will Be Lost");
    EXPECT_EQ (w.boxes.boxes[0].icon, Icon::warning);
    EXPECT_EQ (w.boxes.boxes[0].message, message ("quit"));
    EXPECT_EQ (w.boxes.boxes[0].buttons, juce::StringArray ({ "Quit Anyway", "Cancel" }));
    EXPECT_EQ (w.changes.events (InfoCode::quitAccepted).size(), 1u);

    // Every road that closes the unit asks the same, naming what it does; "Cancel" keeps the
    // unit connected with its edits.
    const int otherIndex = unitIndex == 0 ? 1 : 0;
    w.parts.devicePage->toggledPort = otherIndex;
    const auto connectionEvents = w.changes.events (InfoCode::unitConnection).size();
    w.boxes.answerWith ({ 1, 1, 1 });
    EXPECT_TRUE (c.invokeDirectly (AppCommand::connectSelectedDevice, false));
    EXPECT_TRUE (c.invokeDirectly (AppCommand::disconnectDevice, false));
    EXPECT_TRUE (c.invokeDirectly (AppCommand::scanForDevices, false));
    ASSERT_EQ (w.boxes.boxes.size(), 4u);
    EXPECT_EQ (w.boxes.boxes[1].message, message ("connect another unit"));
    EXPECT_EQ (w.boxes.boxes[1].buttons, juce::StringArray ({ "Connect Anyway", "Cancel" }));
    EXPECT_EQ (w.boxes.boxes[2].message, message ("disconnect"));
    EXPECT_EQ (w.boxes.boxes[2].buttons, juce::StringArray ({ "Disconnect Anyway", "Cancel" }));
    EXPECT_EQ (w.boxes.boxes[3].message, message ("scan for devices"));
    EXPECT_EQ (w.boxes.boxes[3].buttons, juce::StringArray ({ "Scan Anyway", "Cancel" }));
    EXPECT_EQ (w.manager().getCurrentIndex(), unitIndex);
    EXPECT_EQ (w.parts.devicePage->toggledPort, -1);   // the tiles show the connected unit again
    EXPECT_EQ (c.getDeviceState(), 0);
    EXPECT_EQ (w.changes.events (InfoCode::unitConnection).size(), connectionEvents);
    EXPECT_EQ (w.parts.dataPage->discards, 0);
    EXPECT_TRUE (w.parts.dataPage->dataSet->hasUnsavedChanges());

    // "Connect Anyway": the edits go, and the other unit comes.
    w.parts.devicePage->toggledPort = otherIndex;
    w.boxes.answerWith ({ 0 });
    EXPECT_TRUE (c.invokeDirectly (AppCommand::connectSelectedDevice, false));
    EXPECT_EQ (w.boxes.boxes.size(), 5u);
    EXPECT_EQ (w.parts.dataPage->discards, 1);
    EXPECT_EQ (w.manager().getCurrentIndex(), otherIndex);

    EXPECT_TRUE (c.requestQuit (false));   // "Quit Anyway"
    EXPECT_EQ (w.changes.events (InfoCode::quitAccepted).size(), 2u);
    EXPECT_EQ (w.parts.dataPage->discards, 2);

    // Forced: no question.
    EXPECT_TRUE (c.requestQuit (true));
    EXPECT_EQ (w.boxes.boxes.size(), 6u);
    EXPECT_EQ (w.changes.events (InfoCode::quitAccepted).back().p1, 1);

    // Edits kept between sessions: no question for quitting or closing the unit, but one for
    // a firmware update, whose "Update Anyway" leaves them to the update.
    setDataSyncMethod (2);
    EXPECT_TRUE (c.requestQuit (false));
    EXPECT_TRUE (c.invokeDirectly (AppCommand::disconnectDevice, false));
    EXPECT_EQ (w.boxes.boxes.size(), 6u);
    EXPECT_FALSE (isUnitConnected());
    ASSERT_TRUE (c.connectToDevice (otherIndex));
    w.boxes.answerWith ({ 1, 0 });
    EXPECT_FALSE (c.confirmDiscardEdits (LarkspireContentComponent::EditsAtRisk::firmwareUpdate));
    EXPECT_TRUE (c.confirmDiscardEdits (LarkspireContentComponent::EditsAtRisk::firmwareUpdate));
    ASSERT_EQ (w.boxes.boxes.size(), 8u);
    EXPECT_EQ (w.boxes.boxes[6].message, message ("update your firmware"));
    EXPECT_EQ (w.boxes.boxes[6].buttons, juce::StringArray ({ "Update Anyway", "Cancel" }));
    EXPECT_EQ (w.parts.dataPage->discards, 2);
}

TEST (ContentMessages, OptionsDialogResultsAreApplied)
{
    ContentComponentWorld w;
    auto& c = w.component();
    auto& host = w.devices.content.host;

    // Cancelled: nothing.
    c.invokeDirectly (AppCommand::showOptions, false);
    EXPECT_EQ (w.parts.dialogs->calls, juce::StringArray ({ "options" }));
    pumpFor (20);
    EXPECT_TRUE (host.events().empty());

    // Ok without changes: only the notice that the dialog closed.
    w.parts.dialogs->optionsResult.accepted = true;
    c.invokeDirectly (AppCommand::showOptions, false);
    ASSERT_TRUE (pumpUntil ([&] { return host.events().size() == 1; }));
    EXPECT_EQ (host.events()[0].code, InfoCode::optionsClosed);
    EXPECT_TRUE (w.boxes.boxes.empty());

    // Everything at once.
    host.clearEvents();
    setSetting (SettingsKeys::presetCellButtonScale, 1.7);
    setPresetButtonViewType (0);
    w.parts.dialogs->optionsResult = { true, true, true, true };
    c.invokeDirectly (AppCommand::showOptions, false);
    ASSERT_TRUE (pumpUntil ([&] { return host.events().size() == 2; }));
    EXPECT_EQ (host.events()[0].code, InfoCode::removeKnownUnit);
    EXPECT_EQ (host.events()[0].p1, 255);
    EXPECT_EQ (host.events()[0].p2, -1);
    EXPECT_EQ (host.events()[1].code, InfoCode::optionsClosed);
    EXPECT_EQ (getSettingDouble (SettingsKeys::presetCellButtonScale, 0.0), 1.0);
    EXPECT_EQ (getSettingDouble (SettingsKeys::presetIconButtonScale, 0.0), 1.0);
    EXPECT_EQ (getPresetButtonViewType(), 1);
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].title, "Restart Larkspire");
    EXPECT_EQ (w.boxes.boxes[0].message, "Please restart Larkspire to have the changes take effect.");
}
