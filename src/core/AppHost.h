#pragma once

#include <juce_events/juce_events.h>

// What the layers below the application need of the running application and
// its hub. The application object implements it; tests install their own.
class AppHost
{
public:
    virtual ~AppHost() = default;

    virtual bool isDeveloper() const = 0;
    virtual bool isScanAll() const = 0;
    virtual bool isSyncAll() const = 0;
    virtual bool getFirstRunFlag() const = 0;
    virtual juce::Uuid getInstallId() const = 0;

    // 0 idle, 1 starting, 2 scanning, 3 unit lost or ports changed, 4 firmware update.
    virtual int getApplicationState() const = 0;
    // Written only by the main content component, which broadcasts every change.
    virtual void setApplicationState (int state) = 0;

    // The first code raised wins and ends the program.
    virtual void raiseFatalError (int code) = 0;

    // Makes one product's control content present; serialised across worker threads. On the
    // message thread it never waits: downloads go to the content download thread.
    virtual bool prepareProductContent (juce::uint8 productId) = 0;

    // Where workers post DeviceInfoMessages that the hub relays to the GUI (may be null).
    virtual juce::MessageListener* getHubListener() = 0;
};

// The installed host, or null when none is installed.
AppHost* getAppHost();
void setAppHost (AppHost* host);

// Convenience reads that are false (or 0) when no host is installed.
bool appIsDeveloper();
bool appIsScanAll();
bool appIsSyncAll();
int appState();
void appRaiseFatalError (int code);
