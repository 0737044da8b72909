#include "support/FirmwareUpdateRig.h"
#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "content/ContentTypes.h"
#include "core/AppPaths.h"
#include "core/InfoCodes.h"

namespace testing_support
{
    ScopedFirmwareUpdateTimings::ScopedFirmwareUpdateTimings (const FirmwareUpdateTimings& t)
        : previous (getFirmwareUpdateTimings())
    {
        setFirmwareUpdateTimings (t);
    }

    ScopedFirmwareUpdateTimings::~ScopedFirmwareUpdateTimings()
    {
        setFirmwareUpdateTimings (previous);
    }

    FirmwareUpdateTimings ScopedFirmwareUpdateTimings::fast()
    {
        FirmwareUpdateTimings t;
        t.rebootWaitScale = 0.1;
        t.commandRetryPauseMs = 50;
        return t;
    }

    //==============================================================================
    void RecordingProgressView::setStatus (const juce::String& text, bool isError)
    {
        if (statuses.empty() || statuses.back().text != text || statuses.back().isError != isError)
            statuses.push_back ({ text, isError });
    }

    void RecordingProgressView::setProgress (double phase, double overall)
    {
        if (progress.empty() || progress.back() != std::make_pair (phase, overall))
            progress.emplace_back (phase, overall);
    }

    //==============================================================================
    bool RecordingUpdateHost::sawStatus (const juce::String& text, bool isError) const
    {
        for (auto& s : statusAfterEvents)
            if (s.text == text && s.isError == isError)
                return true;
        return false;
    }

    int RecordingUpdateHost::count (int commandId) const
    {
        return (int) std::count (commands.begin(), commands.end(), commandId);
    }

    std::unique_ptr<FirmwareUpdateProgressView> RecordingUpdateHost::createProgressView()
    {
        if (noView)
            return {};
        if (makeView)
            return makeView();
        auto v = std::make_unique<RecordingProgressView>();
        view = v.get();
        return v;
    }

    bool RecordingUpdateHost::performUpdateCommand (int commandId)
    {
        commands.push_back (commandId);
        if (disabledCommands.count (commandId) > 0)
            return false;
        if (idleCommands.count (commandId) > 0)
            return true;

        auto* devices = getDeviceManager();
        switch (commandId)
        {
            case downloadDeviceData:
                // Sync: only with a connected unit.
                if (devices != nullptr && devices->getDeviceObject (-1) != nullptr)
                    devices->postMessage (new DeviceCommandMessage (DeviceCommand::readAll));
                return true;

            case scanForDevices:
                // The scan drops the connection first, as the program's scan does.
                postMessage (new DeviceInfoMessage (InfoCode::unitConnection, 0, 0, {}));
                if (devices != nullptr)
                    devices->postMessage (new DeviceCommandMessage (DeviceCommand::scan));
                return true;

            case connectSelectedDevice:
            {
                if (devices == nullptr || update == nullptr)
                    return true;
                const int index = devices->findDevice (update->getProductId(), update->getSerialNumber());
                if (index < 0 || index == devices->getCurrentIndex() || ! devices->isDeviceReady (index))
                    return true;
                if (devices->selectDevice (index) && update != nullptr)
                    update->changeInfoCallback (ChangeInfo (DeviceInfoMessage (InfoCode::unitConnection, 1, 0, {})));
                return true;
            }

            default:
                return false;
        }
    }

    void RecordingUpdateHost::handleMessage (const juce::Message& message)
    {
        auto* info = dynamic_cast<const DeviceInfoMessage*> (&message);
        if (info == nullptr)
            return;

        // Every listener sees the message before the owner acts on it.
        if (update != nullptr)
        {
            if (stopBeforeEndOf != 0 && info->command.code == stopBeforeEndOf
                && (info->code == InfoCode::commandDone || info->code == InfoCode::commandFailed))
            {
                stopBeforeEndOf = 0;
                update->changeInfoCallback (ChangeInfo (DeviceInfoMessage (InfoCode::stopFirmwareUpdate, 0, 0, {})));
            }
            update->changeInfoCallback (ChangeInfo (*info));
            statusAfterEvents.push_back ({ info->code, update->getStatusText(), update->isStatusError() });
        }

        if (info->code == InfoCode::firmwareUpdateEnded)
        {
            ++endings;
            endingText = info->text;
        }

        if (forwardTo != nullptr)
            forwardTo->handleMessage (message);
    }

    //==============================================================================
    SimulatedUnit::Preset merleFactoryPreset (const SimulatedUnit& unit, int number)
    {
        static const char* const names[] = { "Bright Lead", "Warm Double", "Octave Choir", "Robot Talk", "Slap Echo" };
        SimulatedUnit::Preset p;
        p.number = number;
        p.name = names[number - 1];
        p.tags = 1 << (number % 8);
        p.steps = 1 + number % 3;
        const int perStep = unit.getProfile().valuesPerStep();
        for (int s = 0; s < p.steps; ++s)
        {
            const int seed = number * 10 + s;
            for (int k = 0; k < perStep; ++k)
                p.values.push_back ((seed * 7 + k * 5 + (seed * k) % 11) % 128);
        }
        return p;
    }

    //==============================================================================
    FirmwareUpdateRig::FirmwareUpdateRig (int build, const juce::Array<int>& userSlots, const FirmwareUpdateTimings& t)
        : timings (t)
    {
        // The program's firmware images and rule scripts, as a content sync leaves them.
        auto product = ContentWorld::sampleContent().getChildFile ("Merle");
        EXPECT_TRUE (product.getChildFile ("firmware").copyDirectoryTo (juce::File (AppPaths::getFirmwareFolder (DeviceWorld::merle))));
        EXPECT_TRUE (product.getChildFile ("js").copyDirectoryTo (juce::File (AppPaths::getScriptFolder (DeviceWorld::merle))));
        auto* content = getContentManager();
        content->parseContentLists (DeviceWorld::merle, ContentType::firmwareList);
        content->parseContentLists (DeviceWorld::merle, ContentType::conversionRules);

        host.forwardTo = &w.recorder;
        setDeviceManager (new DeviceManager (&host, w.ports));
        getDeviceManager()->startThread();

        unit = w.addUnit (DeviceWorld::merle, build, 40123);
        unit->setProfileForBuild ([] (int b) { return DeviceWorld::profileOf (DeviceWorld::merle, b); });
        for (int n = 1; n <= 5; ++n)
            unit->setPreset (merleFactoryPreset (*unit, n));
        unit->fillPresets (userSlots, 3);
        setFaults ([] (SimulatedUnit::Faults& f) { f.rebootQuietMs = 100; f.rebootDownMs = 150; });

        EXPECT_TRUE (w.scanAndSelect (0));
        unit->clearLog();
        w.recorder.clear();
    }

    FirmwareUpdateRig::~FirmwareUpdateRig()
    {
        if (update != nullptr)
            update->stopUpdate (10000);
        host.update = nullptr;
        update.reset();
        setDeviceManager (nullptr);
        pumpFor (20);
    }

    void FirmwareUpdateRig::setFaults (const std::function<void (SimulatedUnit::Faults&)>& change)
    {
        auto f = unit->getFaults();
        change (f);
        unit->setFaults (f);
    }

    FirmwareUpdateElement FirmwareUpdateRig::listEntry (int build) const
    {
        for (auto& e : getContentManager()->getFirmwareList (DeviceWorld::merle))
            if (e.getBuild() == build)
                return e;
        return {};
    }

    juce::MemoryBlock FirmwareUpdateRig::sampleImage (const juce::String& fileName)
    {
        juce::MemoryBlock block;
        ContentWorld::sampleContent().getChildFile ("Merle/firmware").getChildFile (fileName).loadFileAsData (block);
        return block;
    }

    FirmwareUpdateElement FirmwareUpdateRig::customImage (const juce::String& name, const juce::MemoryBlock& bytes, int build) const
    {
        auto file = images.child (name);
        EXPECT_TRUE (file.replaceWithData (bytes.getData(), bytes.getSize()));
        auto version = getDeviceManager()->getFirmwareVersion (-1);
        version.build = (juce::int16) build;
        return FirmwareUpdateElement (file.getFullPathName(), version);
    }

    bool FirmwareUpdateRig::check (const FirmwareUpdateElement& element)
    {
        host.update = nullptr;
        update.reset();
        update = std::make_unique<FirmwareUpdateThread> (host, element);
        return update->preCheck();
    }

    bool FirmwareUpdateRig::start (const FirmwareUpdateElement& element)
    {
        if (! check (element))
            return false;
        host.update = update.get();
        w.content.host.applicationState = 4;   // a firmware update runs
        update->startUpdate();
        return true;
    }

    bool FirmwareUpdateRig::waitForEnd (int timeoutMs)
    {
        const bool ended = pumpUntil ([this] { return host.endings > 0; }, timeoutMs);
        if (ended)
            w.content.host.applicationState = 0;
        return ended;
    }
}
