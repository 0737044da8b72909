#pragma once

#include "core/DeviceCommandMessage.h"
#include "core/DeviceInfoMessage.h"
#include "core/LarkspireChangeListener.h"
#include "firmware/FirmwareUpdateElement.h"
#include "firmware/FirmwareUpdateHost.h"
#include "ui/ContentParts.h"
#include "ui/LSLookAndFeel.h"
#include "ui/StatusBar.h"
#include "ui/TextOnlyButton.h"
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

class FirmwareUpdateThread;

// The main window's content: the "Devices" and "Presets" pages, the header buttons and the
// status bar. It is the program's one application command target (it declares, describes
// and performs every application command and builds the menus) and the one receiver of
// the worker threads' DeviceInfoMessages, which it broadcasts to its change listeners and
// turns into status texts, boxes, connections and firmware updates. It also keeps the
// application's device state word and the running firmware update.
//
// Message thread only; the workers reach it by posting messages.
class LarkspireContentComponent : public juce::Component,
                                  public juce::ApplicationCommandTarget,
                                  public juce::MenuBarModel,
                                  public juce::MessageListener,
                                  public FirmwareUpdateHost
{
public:
    explicit LarkspireContentComponent (ContentParts& parts = getProgramContentParts());
    ~LarkspireContentComponent() override;

    //==============================================================================
    // Commands
    juce::ApplicationCommandTarget* getNextCommandTarget() override;
    void getAllCommands (juce::Array<juce::CommandID>& commands) override;
    void getCommandInfo (juce::CommandID commandID, juce::ApplicationCommandInfo& result) override;
    bool perform (const InvocationInfo& info) override;

    // Menus (no window attaches this model; the header buttons pop the menus up)
    juce::StringArray getMenuBarNames() override;
    juce::PopupMenu getMenuForIndex (int topLevelMenuIndex, const juce::String& menuName) override;
    void menuItemSelected (int, int) override {}

    // Runs an application command later, on a turn of the message loop, through the
    // command target that the command manager finds for this component. False when none
    // takes it (the command is then dropped).
    bool invokeAsync (int commandId);

    //==============================================================================
    // Messages
    void handleMessage (const juce::Message& message) override;

    // Calls every change listener, from the last registered to the first; a listener may
    // remove itself (or one before it) during its call.
    void sendChangeInfo (const ChangeInfo& info);
    void addChangeListener (LarkspireChangeListener* listener);
    void removeChangeListener (LarkspireChangeListener* listener);
    const juce::Array<LarkspireChangeListener*>& getChangeListeners() const noexcept { return changeListeners; }

    void setDeviceState (int newState);
    int getDeviceState() const;

    // Connects the port pair at `index`; -1 disconnects. True when connected (or disconnected).
    bool connectToDevice (int index);
    void resetAfterDisconnect();

    // Asked when the program is about to quit; unless forced, unsaved preset edits bring up
    // a box that can refuse it.
    bool requestQuit (bool force);

    // What would drop the connected unit's unsent preset edits.
    enum class EditsAtRisk { quit, firmwareUpdate, connectAnother, disconnect, scan };
    // Asks before the edits are dropped; true when they may go (or there are none). Only a
    // firmware update asks while the edits are kept on disk between sessions. "Anyway" for
    // anything but a firmware update drops them at once, so that they never come back.
    bool confirmDiscardEdits (EditsAtRisk action);
    bool confirmSendSetup (bool fromAnotherSource, const juce::String& sourceName);

    bool showNewFirmwareAvailable();
    bool confirmFirmwareUpdate (const FirmwareUpdateElement& element, bool withDetailsButton);
    bool startFirmwareUpdate (const FirmwareUpdateElement& element);
    void showScanResult();
    void showOptionsDialog();

    // Ends a running firmware update at once, without its result boxes: for the program's
    // shutdown, before the device and content managers go.
    void stopFirmwareUpdate();

    //==============================================================================
    // What a running firmware update needs of its owner
    bool performUpdateCommand (int commandId) override;
    juce::MessageListener& getUpdateListener() override { return *this; }
    juce::Component* getDialogParent() override         { return this; }
    std::unique_ptr<FirmwareUpdateProgressView> createProgressView() override;

    //==============================================================================
    void resized() override;
    void paint (juce::Graphics&) override;

    //==============================================================================
    // Parts of the window
    LSLookAndFeel& getLSLookAndFeel() noexcept         { return lookAndFeel; }
    StatusBar& getStatusBar() noexcept                 { return *statusBar; }
    juce::TabbedComponent& getTabs() noexcept          { return tabs; }
    int getDevicesTabIndex() const noexcept            { return devicesTabIndex; }
    int getPresetsTabIndex() const noexcept            { return presetsTabIndex; }
    DevicePageView* getDevicePage() const noexcept     { return devicePage.get(); }
    DataPageView* getDataPage() const noexcept         { return dataPage.get(); }
    TextOnlyButton& getSignInButton() noexcept         { return signInButton; }
    juce::DrawableButton& getHelpButton() noexcept     { return helpButton; }
    juce::DrawableButton& getOptionsButton() noexcept  { return optionsButton; }
    juce::DrawableButton& getDeveloperButton() noexcept { return developerButton; }

private:
    //==============================================================================
    // Commands
    void popUpMenu (int index);
    void openLink (const juce::String& address);
    void busyStart (int total, bool setTotal);
    void enablePages (bool enabled);
    void postCommand (const DeviceCommandMessage& command);
    void showFirmwareList (bool allowCustomImage);
    void scanForDevices();
    void connectSelectedDevice();
    void syncDeviceData();
    void applyChanges();
    void restoreSetup();
    void sendDirectToDevice();
    void restoreToDevice();
    void toggleCustomProfile();
    void exportPresetChecksums();
    bool isDialogAvailable (ContentDialogs::Kind kind) const;

    //==============================================================================
    // Messages
    void handleStartUpDone();
    void handleMismatchedBackups (const DeviceInfoMessage& info);
    void handleProfileRefused (const DeviceInfoMessage& info);
    void handleScanResult (const DeviceInfoMessage& info, int entryState);
    void handleUnitLost (int entryState);
    void handlePortListsChanged (int entryState);
    void handleCommandDone (const DeviceInfoMessage& info);
    void handleCommandCancelled (const DeviceInfoMessage& info);
    void handleCommandFailed (const DeviceInfoMessage& info);
    void handleFirmwareUpdateEnd (const DeviceInfoMessage& info);
    void handleBackupConversionResult (const DeviceInfoMessage& info);
    void setStatusIdle();
    void broadcastConnection (int p1, int p2);
    // The port pair of the unit being updated (by product id and serial number); -1 when none.
    int findUpdatedUnit() const;
    void commandsChanged();
    bool isUpdateRunning() const noexcept { return runningUpdate != nullptr; }

    //==============================================================================
    LSLookAndFeel lookAndFeel;   // first: outlives every child that draws with it
    FirmwareUpdateElement offeredUpdate;
    std::unique_ptr<FirmwareUpdateThread> runningUpdate;
    juce::TabbedComponent tabs { juce::TabbedButtonBar::TabsAtTop };
    // After the tabs, so they go first: a header button that has the keyboard hands it on as
    // it goes, and the window's focus handler then still finds the tabs.
    juce::DrawableButton developerButton { "Developer", juce::DrawableButton::ImageFitted };
    juce::DrawableButton optionsButton { "Options", juce::DrawableButton::ImageFitted };
    juce::DrawableButton helpButton { "Help", juce::DrawableButton::ImageFitted };
    TextOnlyButton signInButton { "Sign in", "Click to sign in to your Ardentis account",
                                  juce::Justification::centredRight };
    int devicesTabIndex = -1;
    int presetsTabIndex = -1;
    int downloading = 0;   // product synchronisations running: one may end while another goes on
    bool deletionPending = false;
    juce::StringArray offeredDevices;
    // The units whose firmware list was opened in this run; an update's usage event says so.
    juce::StringArray listOpenedDevices;
    bool backupQuestionOpen = false;
    bool downloadErrorOpen = false;
    bool openConnectionBoxShown = false;   // the box saying the connection is still open is up
    juce::StringArray refusedProfilesShown;   // each refusal is told once per run
    // The scan started while the program was still starting: finding nothing is no news.
    bool startUpScan = false;
    std::unique_ptr<StatusBar> statusBar;
    std::unique_ptr<DevicePageView> devicePage;
    std::unique_ptr<DataPageView> dataPage;
    std::unique_ptr<ContentDialogs> dialogs;
    ContentParts& parts;
    // The tab places of pages that are not there: empty, so a tab always has a component.
    juce::Component emptyDevicesSlot, emptyPresetsSlot;
    juce::Array<LarkspireChangeListener*> changeListeners;

    JUCE_DECLARE_NON_COPYABLE (LarkspireContentComponent)
};
