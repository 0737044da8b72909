#pragma once

#include <juce_events/juce_events.h>
#include <memory>

class LarkspireContentComponent;
class MainAppWindow;

// The hub: creates the long-lived managers in a fixed order, deletes them in a
// fixed order, relays worker events to the main content component and
// serialises making one product's content present.
class Nexus : public juce::MessageListener
{
public:
    Nexus();
    ~Nexus() override;

    void startUp();
    void shutDown();

    // Relays DeviceInfoMessages to the main content component; drops anything else.
    void handleMessage (const juce::Message& message) override;

    // Makes one product's content present. Worker threads wait for one another and for the
    // download; the message thread takes what is on disk and leaves the download to the
    // content download thread, whose messages tell when it is done.
    bool prepareProductContent (juce::uint8 productId);

    // Asks the main content component whether the program may quit; true when there is none.
    bool isQuitAllowed (bool forced);

    // The main window; null before start-up step 3 and after shutdown.
    MainAppWindow* getMainWindow() const { return mainWindow.get(); }

    // The main window's content component; null while there is no main window.
    LarkspireContentComponent* getMainContent() const;

    // 1 "Larkspire", 2 "administrator", 100 "Ardentis", 101 "anonymous", else "Unknown User".
    static juce::String getUserKindName (int kind);

private:
    // Start-up steps 4 to 6 once the fetch of the control descriptor has ended: the registry's
    // products, the device manager, the first scan; false after a fatal error.
    bool startDevices();

    std::unique_ptr<MainAppWindow> mainWindow;
    juce::CriticalSection contentLock;

    JUCE_DECLARE_NON_COPYABLE (Nexus)
};
