#pragma once

#include "core/AppHost.h"
#include "core/DeviceInfoMessage.h"
#include <vector>

namespace testing_support
{
    // An application host for tests: flags set by the test, fatal codes recorded, and a hub
    // listener that keeps every DeviceInfoMessage posted to it (on the message thread).
    // Installs itself for its lifetime.
    class TestAppHost : public AppHost
    {
    public:
        struct Event
        {
            int code, p1, p2;
            juce::String text;
        };

        TestAppHost();
        ~TestAppHost() override;

        bool developer = false;
        bool scanAll = false;
        bool syncAll = false;
        bool firstRun = false;
        juce::Uuid installId;
        std::atomic<int> fatalCode { 0 };
        std::atomic<int> prepareCalls { 0 };
        std::atomic<int> applicationState { 0 };   // idle unless a test says otherwise

        bool isDeveloper() const override        { return developer; }
        bool isScanAll() const override          { return scanAll; }
        bool isSyncAll() const override          { return syncAll; }
        bool getFirstRunFlag() const override    { return firstRun; }
        juce::Uuid getInstallId() const override { return installId; }
        int getApplicationState() const override { return applicationState.load(); }
        void setApplicationState (int state) override { applicationState.store (state); }
        void raiseFatalError (int code) override;
        bool prepareProductContent (juce::uint8) override { ++prepareCalls; return false; }
        juce::MessageListener* getHubListener() override { return &hub; }

        // What reached the hub so far (message thread only).
        const std::vector<Event>& events() const { return hub.received; }
        std::vector<Event> eventsWithCode (int code) const;
        void clearEvents() { hub.received.clear(); }

    private:
        struct Hub : juce::MessageListener
        {
            void handleMessage (const juce::Message& m) override
            {
                if (auto* info = dynamic_cast<const DeviceInfoMessage*> (&m))
                    received.push_back ({ info->code, info->p1, info->p2, info->text });
            }
            std::vector<Event> received;
        };

        Hub hub;
        AppHost* previous = nullptr;
    };
}
