#pragma once

#include "support/DeviceWorld.h"
#include "support/FirmwareUpdateRig.h"
#include "support/RecordingDialogService.h"
#include "ui/ContentParts.h"
#include "ui/LarkspireContentComponent.h"

namespace testing_support
{
    // One change as a listener saw it.
    struct SeenChange
    {
        int kind = 0;
        int newValue = -1, oldValue = -1;
        int commandId = 0;
        int code = 0, p1 = 0, p2 = 0;
        juce::String text;
        int commandCode = 0;
        juce::Array<int> slots;
    };

    // Keeps every ChangeInfo it is given.
    class ChangeRecorder : public LarkspireChangeListener
    {
    public:
        void changeInfoCallback (const ChangeInfo& info) override;

        std::vector<SeenChange> seen;
        std::vector<SeenChange> ofKind (int kind) const;
        std::vector<SeenChange> events (int code) const;   // kind 3 with this code
        int countEvents (int code) const { return (int) events (code).size(); }
        std::vector<int> states() const;                    // the new values of the kind-1 changes
        void clear() { seen.clear(); }
        // Called inside changeInfoCallback, after recording (may remove the listener).
        std::function<void (const ChangeInfo&)> onChange;
    };

    // Pictures of a product that come after its units are shown: each of its variant pictures
    // on disk becomes a plain one of this colour, which the content manager takes in as its
    // picture thread does. The caller then tells of them (0x70005).
    void bringLatePictures (juce::uint8 productId, juce::Colour colour);

    // A stand-in for the data page with what its answers should be.
    class RecordingDataPage : public DataPageView, public ChangeRecorder
    {
    public:
        juce::Component& getPageComponent() override { return page; }
        DataSet* getDataSet() const override { return dataSet.get(); }
        juce::ValueTree getSelectedSource() const override { return selectedSource; }
        DeviceData* getSelectedDataSet() const override { return selectedData; }
        juce::Array<int> getSelectedSlots() const override { return selectedSlots; }
        std::shared_ptr<const DeviceData> getStagedData() const override { return staged; }
        LocalArchiveManager* getArchiveManager() const override { return archive; }
        void discardUnsentEdits() override { ++discards; }
        void changeInfoCallback (const ChangeInfo& info) override { ChangeRecorder::changeInfoCallback (info); }

        juce::Component page;
        DataSet::Ptr dataSet;
        juce::ValueTree selectedSource;
        DeviceData* selectedData = nullptr;
        juce::Array<int> selectedSlots;
        std::shared_ptr<const DeviceData> staged;
        LocalArchiveManager* archive = nullptr;
        int discards = 0;
    };

    // A stand-in for the device page.
    class RecordingDevicePage : public DevicePageView, public ChangeRecorder
    {
    public:
        juce::Component& getPageComponent() override { return page; }
        int getFirstToggledPortIndex() const override { return toggledPort; }
        void showConnectedUnit() override { toggledPort = -1; }
        void showKnownUnits() override {}
        void changeInfoCallback (const ChangeInfo& info) override { ChangeRecorder::changeInfoCallback (info); }

        juce::Component page;
        int toggledPort = -1;
    };

    // Dialogs that record being opened and answer as scripted.
    class RecordingContentDialogs : public ContentDialogs
    {
    public:
        bool isAvailable (Kind) const override { return true; }
        OptionsResult runOptionsDialog (juce::Component&) override { calls.add ("options"); return optionsResult; }
        void runAboutBox (juce::Component&) override { calls.add ("about"); }
        void runMidiDeviceList (juce::Component&) override { calls.add ("midi devices"); }
        bool runFirmwareChooser (juce::Component&, juce::uint8 productId, bool allowCustom,
                                 FirmwareUpdateElement& chosen) override;

        juce::StringArray calls;
        OptionsResult optionsResult;
        bool chooseUpdate = false;                // "Start Update" in the firmware chooser
        FirmwareUpdateElement updateToChoose;
        std::vector<std::pair<int, bool>> chooserCalls;   // product id, custom images allowed
    };

    // Makes the recorders above (each may be left out) and keeps pointers to them.
    class RecordingParts : public ContentParts
    {
    public:
        bool withDevicePage = true, withDataPage = true, withDialogs = true;
        bool noProgressView = false;
        // When set, makes the dialogs in place of the recorder (which is then null).
        std::function<std::unique_ptr<ContentDialogs>()> makeDialogs;
        // When set, makes the data page in place of the recorder (which is then null).
        std::function<std::unique_ptr<DataPageView>()> makeDataPage;
        RecordingDevicePage* devicePage = nullptr;
        RecordingDataPage* dataPage = nullptr;
        RecordingContentDialogs* dialogs = nullptr;
        RecordingProgressView* progressView = nullptr;   // the last one made, until its update deletes it
        juce::MessageListener* progressOwner = nullptr;

        std::unique_ptr<DevicePageView> createDevicePage (LarkspireContentComponent&) override;
        std::unique_ptr<DataPageView> createDataPage (LarkspireContentComponent&) override;
        std::unique_ptr<ContentDialogs> createDialogs (LarkspireContentComponent&) override;
        std::unique_ptr<FirmwareUpdateProgressView> createUpdateProgressView (juce::MessageListener& owner) override;
    };

    // The main content component without a window, on the sample content (offline), with the
    // process-wide device manager posting to it over the virtual port layer, a recorder for
    // its boxes and one for everything it broadcasts (registered last: called first).
    class ContentComponentWorld
    {
    public:
        explicit ContentComponentWorld (std::function<void (RecordingParts&)> configure = {});
        ~ContentComponentWorld();

        LarkspireContentComponent& component() { return *content; }
        DeviceManager& manager()               { return *getDeviceManager(); }

        // Hands a message to the component as the message loop would.
        void deliver (const DeviceInfoMessage& message) { content->handleMessage (message); }

        // Performs the scan command and waits until the component has handled its result.
        bool scan (int timeoutMs = 60000);
        // Waits until the component has seen this many events of the code in all.
        bool waitForEvents (int code, int count, int timeoutMs = 60000);
        // Waits for the next command ending (done, cancelled or failed) after `before` endings.
        SeenChange waitForEnding (size_t before, int timeoutMs = 60000);
        size_t countEndings() const;

        // Puts the sample firmware images of a product where downloaded ones go and reads the
        // stored content as the hub does offline: the product's firmware list is usable.
        void installFirmware (juce::uint8 productId, const juce::String& productName);

        // Sends usage events to the web stand-in from now on (until the world goes).
        void trackUsage();
        // The bodies of the usage events that reached the web stand-in for this script, waiting
        // until there are at least `count`.
        juce::StringArray waitForUsageEvents (const juce::String& script, int count, int timeoutMs = 30000);

        DeviceWorld devices;
        RecordingDialogService boxes;
        RecordingParts parts;
        ChangeRecorder changes;

    private:
        struct Settings { Settings(); ~Settings(); } settings;
        bool tracking = false;
        std::unique_ptr<LarkspireContentComponent> content;
    };
}
