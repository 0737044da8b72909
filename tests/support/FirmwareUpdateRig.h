#pragma once

#include "firmware/FirmwareUpdateThread.h"
#include "support/DeviceWorld.h"
#include "support/RecordingDialogService.h"
#include <functional>
#include <set>

namespace testing_support
{
    // Firmware update timings for the scope; restores the previous ones.
    class ScopedFirmwareUpdateTimings
    {
    public:
        explicit ScopedFirmwareUpdateTimings (const FirmwareUpdateTimings& timings);
        ~ScopedFirmwareUpdateTimings();

        // The reboot wait cut to a tenth and the retry pause shortened; every other wait
        // keeps its value (they end early when things go as expected).
        static FirmwareUpdateTimings fast();

    private:
        FirmwareUpdateTimings previous;
    };

    // A progress view that keeps what it was shown.
    class RecordingProgressView : public FirmwareUpdateProgressView
    {
    public:
        struct Status
        {
            juce::String text;
            bool isError;
        };

        void setStatus (const juce::String& text, bool isError) override;
        void setProgress (double phase, double overall) override;
        void enterModalState() override { modal = true; }
        void close() override           { modal = false; closed = true; }

        std::vector<Status> statuses;     // each change of text or error flag
        std::vector<std::pair<double, double>> progress;
        bool modal = false, closed = false;
    };

    // Plays the owner of an update as the main content component does: it carries out the
    // update's application commands against the process-wide device manager, hands every
    // DeviceInfoMessage it receives to the update as a device event before anything else,
    // and records the commands, the messages and the end of the update. It is the device
    // manager's listener in the rigs below; every message is passed on to `forwardTo` too.
    class RecordingUpdateHost : public FirmwareUpdateHost,
                                public juce::MessageListener
    {
    public:
        RecordingUpdateHost() = default;

        bool performUpdateCommand (int commandId) override;
        juce::MessageListener& getUpdateListener() override   { return *this; }
        juce::Component* getDialogParent() override            { return nullptr; }
        std::unique_ptr<FirmwareUpdateProgressView> createProgressView() override;

        void handleMessage (const juce::Message& message) override;

        FirmwareUpdateThread* update = nullptr;       // the update the events go to
        juce::MessageListener* forwardTo = nullptr;

        // Commands that are disabled: refused without running.
        std::set<int> disabledCommands;
        // Commands that run but start nothing (a sync without a unit, a connect that finds
        // nothing to connect).
        std::set<int> idleCommands;
        // No progress window can be made.
        bool noView = false;
        // Makes the view; a recording view when empty.
        std::function<std::unique_ptr<FirmwareUpdateProgressView>()> makeView;

        // Hands the update a stop request (0x84000) just before it sees the end of a device
        // command with this code, as if Stop was pressed at that moment.
        int stopBeforeEndOf = 0;

        // The update's status right after each device event it was handed.
        struct StatusAfterEvent
        {
            int code;
            juce::String text;
            bool isError;
        };
        std::vector<StatusAfterEvent> statusAfterEvents;
        bool sawStatus (const juce::String& text, bool isError) const;

        std::vector<int> commands;                    // every command asked for, refused ones too
        int count (int commandId) const;
        RecordingProgressView* view = nullptr;        // the last recording view made
        int endings = 0;                              // 0x84001 received
        juce::String endingText;
    };

    // A connected simulated unit, a device manager that reports to a recording host, the
    // sample firmware images and rule scripts installed, and fast update timings.
    class FirmwareUpdateRig
    {
    public:
        // A Merle at `build` with the five factory presets of its build and user presets
        // in `userSlots`; on reboot it takes the profile of its new build.
        explicit FirmwareUpdateRig (int build, const juce::Array<int>& userSlots = { 7, 12, 20 },
                                    const FirmwareUpdateTimings& timings = ScopedFirmwareUpdateTimings::fast());
        ~FirmwareUpdateRig();

        void setFaults (const std::function<void (SimulatedUnit::Faults&)>& change);

        // The entry of the sample firmware list with this build (status unknown when none).
        FirmwareUpdateElement listEntry (int build) const;
        // A custom image made of these bytes, with the given build.
        FirmwareUpdateElement customImage (const juce::String& name, const juce::MemoryBlock& bytes, int build) const;
        // The bytes of a sample image.
        static juce::MemoryBlock sampleImage (const juce::String& fileName);

        // Makes the update and runs its pre-check only.
        bool check (const FirmwareUpdateElement& element);
        // Makes the update and runs its pre-check; on success starts it as the owner does.
        bool start (const FirmwareUpdateElement& element);
        // Pumps until the update has reported its end (0x84001); false on time-out.
        bool waitForEnd (int timeoutMs = 120000);

        // The messages of one command the unit received from the program (any device id).
        int received (juce::uint8 command, int deviceId = -1) const { return unit->countReceived (command, deviceId); }

        DeviceWorld w;
        ScopedFirmwareUpdateTimings timings;
        RecordingDialogService dialogs;
        RecordingUpdateHost host;
        std::shared_ptr<SimulatedUnit> unit;
        std::unique_ptr<FirmwareUpdateThread> update;
        TempFolder images;
    };

    // The factory preset `number` (1 to 5) of a Merle build, as the sample content defines it.
    SimulatedUnit::Preset merleFactoryPreset (const SimulatedUnit& unit, int number);
}
