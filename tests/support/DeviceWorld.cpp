#include "support/DeviceWorld.h"
#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceProfiler.h"

namespace testing_support
{
    void InfoRecorder::handleMessage (const juce::Message& message)
    {
        if (auto* info = dynamic_cast<const DeviceInfoMessage*> (&message))
            received.push_back ({ info->code, info->p1, info->p2, info->text, info->command.code,
                                  info->command.presetIndices });
    }

    std::vector<InfoRecorder::Event> InfoRecorder::withCode (int code) const
    {
        std::vector<Event> out;
        for (auto& e : received)
            if (e.code == code)
                out.push_back (e);
        return out;
    }

    int InfoRecorder::count (int code) const
    {
        return (int) withCode (code).size();
    }

    std::vector<InfoRecorder::Event> InfoRecorder::endings() const
    {
        std::vector<Event> out;
        for (auto& e : received)
            if (e.code == InfoCode::commandDone || e.code == InfoCode::commandCancelled || e.code == InfoCode::commandFailed)
                out.push_back (e);
        return out;
    }

    //==============================================================================
    ScopedDeviceTimings::ScopedDeviceTimings (const DeviceTimings& t) : previous (getDeviceTimings())
    {
        setDeviceTimings (t);
    }

    ScopedDeviceTimings::~ScopedDeviceTimings()
    {
        setDeviceTimings (previous);
    }

    DeviceTimings ScopedDeviceTimings::fast()
    {
        DeviceTimings t;
        t.identityWindowMs = 300;
        t.rescanDelayMs = 300;
        t.portPollMs = 200;
        t.replyTimeoutMs = 1500;
        t.retryPauseMs = 20;
        t.firmwareReplyTimeoutMs = 1500;
        t.firmwareResendPauseMs = 5;
        return t;
    }

    //==============================================================================
    DeviceWorld::DeviceWorld (const DeviceTimings& t)
        : timings (t), ports (std::make_shared<VirtualMidiPortLayer>())
    {
        // Offline: the installed sample content is the program's content.
        content.server.failWith (ContentWorld::servedPath ("masterDescriptor.xml"), 404);
        content.installSampleContent();
        setContentManager (newFetchedContentManager());
        setDeviceProfiler (new DeviceProfiler());
        setMidiPortLayer (ports);
        // The program makes its settings store before any device thread runs.
        getApplicationProperties();
    }

    DeviceWorld::~DeviceWorld()
    {
        setDeviceManager (nullptr);
        setDeviceProfiler (nullptr);
        setMidiPortLayer (nullptr);
        setContentManager (nullptr);
        // Messages still on their way reach nobody once the recorder goes.
        pumpFor (20);
    }

    juce::String DeviceWorld::productName (juce::uint8 id)
    {
        switch (id)
        {
            case merle:   return "Merle";
            case merleXT: return "Merle XT";
            case piper:   return "Piper";
            default:      return "Unknown";
        }
    }

    SimUnitProfile DeviceWorld::profileOf (juce::uint8 id, int build)
    {
        return SimUnitProfile::fromCapsFile (ContentWorld::sampleContent().getChildFile (productName (id)).getChildFile ("caps.xml"),
                                             id, build);
    }

    std::shared_ptr<SimulatedUnit> DeviceWorld::addUnit (juce::uint8 id, int build, int serial, bool broadcast,
                                                         const juce::String& portName)
    {
        SimulatedUnit::Identity identity;
        identity.productId = id;
        identity.major = 1;
        identity.minor = build / 100;
        identity.revision = build % 100;
        identity.build = build;
        identity.serial = serial;
        identity.day = 24;
        identity.month = 6;
        identity.year = 2021;
        identity.answersBroadcast = broadcast;
        auto unit = std::make_shared<SimulatedUnit> (profileOf (id, build), identity,
                                                     portName.isNotEmpty() ? portName : productName (id) + " MIDI");
        ports->addDevice (unit);
        return unit;
    }

    std::shared_ptr<VirtualMidiDevice> DeviceWorld::addPorts (const juce::String& in, const juce::String& out)
    {
        auto device = std::make_shared<VirtualMidiDevice> (in, out);
        ports->addDevice (device);
        return device;
    }

    DeviceManager& DeviceWorld::startManager()
    {
        if (getDeviceManager() == nullptr)
        {
            setDeviceManager (new DeviceManager (&recorder, ports));
            getDeviceManager()->startThread();
        }
        return *getDeviceManager();
    }

    DeviceManager& DeviceWorld::manager()
    {
        return startManager();
    }

    int DeviceWorld::scan (int timeoutMs)
    {
        auto& m = startManager();
        const int before = recorder.count (InfoCode::scanFinished);
        m.postMessage (new DeviceCommandMessage (DeviceCommand::scan));
        if (! pumpUntil ([&] { return recorder.count (InfoCode::scanFinished) > before; }, timeoutMs))
            return -1;
        return recorder.withCode (InfoCode::scanFinished).back().p1;
    }

    bool DeviceWorld::scanAndSelect (int index)
    {
        return scan() >= 0 && manager().selectDevice (index);
    }

    int DeviceWorld::run (const DeviceCommandMessage& command, int timeoutMs)
    {
        auto& m = startManager();
        const auto before = recorder.endings().size();
        m.postMessage (new DeviceCommandMessage (command));
        if (! pumpUntil ([&] { return recorder.endings().size() > before; }, timeoutMs))
            return 0;
        const auto ending = recorder.endings()[before];
        EXPECT_EQ (ending.commandCode, command.code);
        return ending.code;
    }
}
