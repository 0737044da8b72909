#pragma once

#include "device/DeviceManager.h"
#include "device/DeviceObject.h"
#include "device/DeviceTimings.h"
#include "device/VirtualMidiPortLayer.h"
#include "device/sim/SimulatedUnit.h"
#include "support/ContentWorld.h"

namespace testing_support
{
    // Keeps every DeviceInfoMessage posted to it, with the code of the command it carries
    // (message thread only).
    class InfoRecorder : public juce::MessageListener
    {
    public:
        struct Event
        {
            int code = 0, p1 = 0, p2 = 0;
            juce::String text;
            int commandCode = 0;
            juce::Array<int> commandPresets;
        };

        void handleMessage (const juce::Message& message) override;

        const std::vector<Event>& events() const { return received; }
        std::vector<Event> withCode (int code) const;
        int count (int code) const;
        // The command endings (done, cancelled, failed), in order.
        std::vector<Event> endings() const;
        void clear() { received.clear(); }

    private:
        std::vector<Event> received;
    };

    // Device timings for the scope; restores the previous ones.
    class ScopedDeviceTimings
    {
    public:
        explicit ScopedDeviceTimings (const DeviceTimings& timings);
        ~ScopedDeviceTimings();

        // Short waits for tests: the identity window, rescan pause, port poll, reply time-outs
        // and retry pauses are cut; the setup packet gap, the scan step and the port-open
        // retry keep their values.
        static DeviceTimings fast();

    private:
        DeviceTimings previous;
    };

    // An end-to-end device world: its own HOME with the sample content installed (offline),
    // the process-wide content manager and device profiler, a virtual port layer for
    // simulated units, a recorder for the DeviceInfoMessages and, on demand, the
    // process-wide device manager with its thread running. Everything is undone at the end.
    class DeviceWorld
    {
    public:
        explicit DeviceWorld (const DeviceTimings& timings = ScopedDeviceTimings::fast());
        ~DeviceWorld();

        static constexpr juce::uint8 merle = 17, merleXT = 18, piper = 12;

        // A simulated unit of a sample product at a build, on ports named `portName` (the
        // product name with " MIDI" when empty), added to the port layer.
        std::shared_ptr<SimulatedUnit> addUnit (juce::uint8 productId, int build, int serial,
                                                bool answersBroadcast = false, const juce::String& portName = {});
        static SimUnitProfile profileOf (juce::uint8 productId, int build);
        static juce::String productName (juce::uint8 productId);

        // A plain device (no unit behind it) with the given port names (empty: no such port).
        std::shared_ptr<VirtualMidiDevice> addPorts (const juce::String& inputName, const juce::String& outputName);

        // Makes and starts the process-wide device manager, posting to the recorder.
        DeviceManager& startManager();
        DeviceManager& manager();

        // Posts a scan and waits for its end (0x80001); returns its p1, or -1 on time-out.
        int scan (int timeoutMs = 60000);
        // Scans and connects the pair at `index`.
        bool scanAndSelect (int index = 0);

        // Posts a command to the device manager and waits for the command's ending; returns
        // the ending's code (0 on time-out).
        int run (const DeviceCommandMessage& command, int timeoutMs = 60000);

        std::shared_ptr<DeviceObject> device (int index = -1) { return manager().getDeviceObject (index); }

        ContentWorld content;
        ScopedDeviceTimings timings;
        std::shared_ptr<VirtualMidiPortLayer> ports;
        InfoRecorder recorder;
    };
}
