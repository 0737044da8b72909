// Syncs a simulated unit of 500 presets through the virtual MIDI ports and prints:
//  1. presets per second and CPU time with no wire time (the program's own overhead);
//  2. the same sync through a link of 3125 bytes/s (MIDI speed), against the time the bytes
//     need on the wire;
//  3. the CPU time spent while a read waits 10 s on a unit that does not answer.

#include "content/ContentManager.h"
#include "core/DeviceInfoMessage.h"
#include "core/InfoCodes.h"
#include "device/DeviceManager.h"
#include "device/DeviceObject.h"
#include "device/DeviceProfiler.h"
#include "device/VirtualMidiPortLayer.h"
#include "device/sim/SimulatedUnit.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>

namespace
{
    constexpr juce::uint8 productId = 40;
    constexpr int presetCount = 500;

    const char* descriptor =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<CONTROL_DESCRIPTOR><larkSpire><latestBuildNo>139</latestBuildNo></larkSpire><devices>"
        "<product name=\"Bench Unit\" sysexId=\"40\" allVersSupportGenSyxID=\"0\">"
        "<caps>https://www.ardentis.example/Larkspire2/Bench Unit/caps.xml</caps><capsKey>bench-1</capsKey>"
        "</product></devices></CONTROL_DESCRIPTOR>\n";

    const char* caps =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<CAPS><capsKey>bench-1</capsKey>"
        "<productVariants><range start=\"0\" end=\"99999\" displayName=\"Bench Unit\"/></productVariants>"
        "<baseDefinition><features isBuildValid=\"1\" numSyxPackagesPerPresetStep=\"1\" presetStepPacketSize=\"32\""
        " presetVersion=\"1\" numSyxPackagesPerSetup=\"2\" setupPacketSize=\"48\" setupVersion=\"1\" numPresets=\"501\""
        " presetNameLength=\"15\" maxPresetSteps=\"2\" suspendAlgo=\"1\" presetHeader=\"1\" delayTimeAfterPresetDelete=\"0.05\""
        " bankSwapTime=\"1.5\"/></baseDefinition>"
        "<buildProfile><range start=\"0\" end=\"-1\"/><features/></buildProfile></CAPS>\n";

    struct Recorder : juce::MessageListener
    {
        void handleMessage (const juce::Message& m) override
        {
            if (auto* info = dynamic_cast<const DeviceInfoMessage*> (&m))
            {
                if (info->code == InfoCode::commandDone || info->code == InfoCode::commandFailed
                    || info->code == InfoCode::commandCancelled)
                    ++endings;
                if (info->code == InfoCode::scanFinished)
                    ++scans;
                if (info->code == InfoCode::presetRead)
                    ++presetsRead;
            }
        }
        int endings = 0, scans = 0, presetsRead = 0;
    };

    double processCpuSeconds()
    {
        rusage u {};
        getrusage (RUSAGE_SELF, &u);
        return (double) u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + (double) u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
    }

    double threadCpuSeconds (juce::Thread& thread)
    {
        clockid_t clock;
        if (pthread_getcpuclockid ((pthread_t) thread.getThreadId(), &clock) != 0)
            return 0.0;
        timespec t {};
        clock_gettime (clock, &t);
        return (double) t.tv_sec + t.tv_nsec / 1e9;
    }

    double callingThreadCpuSeconds()
    {
        timespec t {};
        clock_gettime (CLOCK_THREAD_CPUTIME_ID, &t);
        return (double) t.tv_sec + t.tv_nsec / 1e9;
    }

    bool pumpUntil (const std::function<bool()>& done, int timeoutMs)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
        while (! done())
        {
            if (juce::Time::getMillisecondCounter() > deadline)
                return false;
            juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
        }
        return true;
    }

    struct SyncFigures
    {
        double wallSeconds = 0, processCpu = 0, deviceThreadCpu = 0;
        bool ok = false;
    };

    SyncFigures sync (DeviceManager& manager, Recorder& recorder)
    {
        auto device = manager.getDeviceObject (0);
        const int endings = recorder.endings;
        const int read = recorder.presetsRead;
        const double cpu0 = processCpuSeconds(), thread0 = threadCpuSeconds (*device);
        const double t0 = juce::Time::getMillisecondCounterHiRes();

        manager.postMessage (new DeviceCommandMessage (DeviceCommand::readAll));
        SyncFigures f;
        f.ok = pumpUntil ([&] { return recorder.endings > endings; }, 600000)
            && recorder.presetsRead - read == presetCount && device->getErrorCode() == 0;
        f.wallSeconds = (juce::Time::getMillisecondCounterHiRes() - t0) / 1000.0;
        f.processCpu = processCpuSeconds() - cpu0;
        f.deviceThreadCpu = threadCpuSeconds (*device) - thread0;
        return f;
    }
}

int main()
{
    // A home of its own, offline, with content naming one unit of 500 presets.
    const auto home = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getNonexistentChildFile ("larkspire-bench-", {}, false);
    home.createDirectory();
    ::setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    ::setenv ("XDG_CONFIG_HOME", home.getChildFile (".config").getFullPathName().toRawUTF8(), 1);
    ::setenv ("LARKSPIRE_WEB_ROOT", "http://127.0.0.1:9", 1);
    const auto content = home.getChildFile ("Content");
    content.getChildFile ("Bench Unit").createDirectory();
    content.getChildFile ("masterDescriptor.xml").replaceWithText (descriptor);
    content.getChildFile ("Bench Unit").getChildFile ("caps.xml").replaceWithText (caps);

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        ContentManager::setInstalledContentFolder (content);
        setContentManager (new ContentManager());
        setDeviceProfiler (new DeviceProfiler());

        auto ports = std::make_shared<VirtualMidiPortLayer>();
        SimulatedUnit::Identity identity;
        identity.productId = productId;
        identity.build = 100;
        identity.serial = 4242;
        auto unit = std::make_shared<SimulatedUnit> (
            SimUnitProfile::fromCapsFile (content.getChildFile ("Bench Unit").getChildFile ("caps.xml"), productId, 100),
            identity, "Bench Unit MIDI");
        juce::Array<int> numbers;
        for (int n = 1; n <= presetCount; ++n)
            numbers.add (n);
        unit->fillPresets (numbers, 5);
        ports->addDevice (unit);

        Recorder recorder;
        setDeviceManager (new DeviceManager (&recorder, ports));
        auto& manager = *getDeviceManager();
        manager.startThread();
        manager.postMessage (new DeviceCommandMessage (DeviceCommand::scan));
        if (! pumpUntil ([&] { return recorder.scans == 1; }, 60000) || ! manager.selectDevice (0))
        {
            std::printf ("the simulated unit was not found\n");
            result = 1;
        }
        else
        {
            // 1. No wire time.
            const auto fast = sync (manager, recorder);
            std::printf ("sync of %d presets, no wire time: %s\n", presetCount, fast.ok ? "complete" : "FAILED");
            std::printf ("  wall time %.3f s = %.0f presets/s\n", fast.wallSeconds, presetCount / fast.wallSeconds);
            std::printf ("  CPU time of the process %.3f s (program and simulated unit)\n", fast.processCpu);
            std::printf ("  CPU time of the device thread %.3f s = %.0f presets per CPU second (goal >= 1000)\n",
                         fast.deviceThreadCpu, presetCount / juce::jmax (1e-6, fast.deviceThreadCpu));

            // 2. Through a MIDI-speed link.
            unit->setLinkRate (3125);
            const auto before = unit->getBytesReceived() + unit->getBytesSent();
            const auto slow = sync (manager, recorder);
            const auto bytes = unit->getBytesReceived() + unit->getBytesSent() - before;
            const double wire = (double) bytes / 3125.0;
            std::printf ("sync of %d presets at 3125 bytes/s: %s\n", presetCount, slow.ok ? "complete" : "FAILED");
            std::printf ("  %lld bytes on the wire, wire-time bound %.3f s, took %.3f s = %.2f %% over the bound (goal <= 5 %%)\n",
                         (long long) bytes, wire, slow.wallSeconds, (slow.wallSeconds / wire - 1.0) * 100.0);
            unit->setLinkRate (0);

            // 3. Waiting on a unit that says nothing.
            auto faults = unit->getFaults();
            faults.silent = true;
            unit->setFaults (faults);
            auto device = manager.getDeviceObject (0);
            const double cpu0 = processCpuSeconds(), thread0 = threadCpuSeconds (*device);
            const double main0 = callingThreadCpuSeconds();
            const double t0 = juce::Time::getMillisecondCounterHiRes();
            manager.postMessage (new DeviceCommandMessage (DeviceCommand::readPresets, juce::Array<int> { 1 }));
            juce::MessageManager::getInstance()->runDispatchLoopUntil (10000);
            const double wall = (juce::Time::getMillisecondCounterHiRes() - t0) / 1000.0;
            const double cpu = processCpuSeconds() - cpu0, threadCpu = threadCpuSeconds (*device) - thread0;
            const double mainCpu = callingThreadCpuSeconds() - main0;
            std::printf ("waiting %.1f s on a silent unit: CPU time of the process %.4f s = %.3f %% of one core"
                         " (goal < 5 %%)\n", wall, cpu, cpu / wall * 100.0);
            std::printf ("  of which the message loop of this program %.4f s, the device thread %.4f s = %.4f %%\n",
                         mainCpu, threadCpu, threadCpu / wall * 100.0);

            if (! fast.ok || ! slow.ok)
                result = 1;
        }

        setDeviceManager (nullptr);
        setDeviceProfiler (nullptr);
        setContentManager (nullptr);
        ContentManager::setInstalledContentFolder ({});
    }
    home.deleteRecursively();
    return result;
}
