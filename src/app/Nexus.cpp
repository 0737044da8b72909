#include "app/Nexus.h"
#include "app/Larkspire.h"
#include "core/DeviceInfoMessage.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "ui/MainAppWindow.h"

Nexus::Nexus() = default;

Nexus::~Nexus() = default;

void Nexus::startUp()
{
    // The managers are created here in this order, each only when the one before exists;
    // a step that leaves nothing raises fatal error 1 and ends the start-up.
    // 1. content manager    (control content; starts the content download thread when online)
    // 2. event tracker      (starts its thread)
    // 3. main window        (status bar, device page, data page)
    // 4. device profiler    (loads the known-device registry)
    // 5. device manager     (given the main content component; starts its thread)
    // 6. "Scan for Devices" invoked asynchronously
    // Steps 1, 2, 4, 5 and 6 join as each of those parts of the program is built.

    // 3. The main window. A previous one goes first: its destructor deletes the
    //    command manager that the new one registers with.
    mainWindow.reset();
    mainWindow = std::make_unique<MainAppWindow>();

    // 7. The end of the start-up, relayed to the main content component.
    postMessage (new DeviceInfoMessage (InfoCode::startUpDone, 0, 0, {}));
}

void Nexus::shutDown()
{
    // In this order, each only when it exists:
    // 1. the main window's state into "appWindowState";
    // 2. a running firmware update thread is stopped before anything it uses goes away;
    // 3. device manager (10 s), 4. content manager, 5. event tracker,
    // 6. main window, 7. device profiler.

    // 1.
    if (mainWindow != nullptr)
        setSetting (SettingsKeys::appWindowState, mainWindow->getWindowStateAsString());

    // 6.
    mainWindow.reset();
}

void Nexus::handleMessage (const juce::Message& message)
{
    auto* info = dynamic_cast<const DeviceInfoMessage*> (&message);
    if (info == nullptr)
        return;

    // Relayed to the main content component once it exists; until then dropped.
}

bool Nexus::prepareProductContent (juce::uint8 productId)
{
    const juce::ScopedLock sl (contentLock);
    // Needs the content manager and the device profiler; without them there is nothing to prepare.
    juce::ignoreUnused (productId);
    return false;
}

bool Nexus::isQuitAllowed (bool forced)
{
    juce::ignoreUnused (forced);
    return true;
}

juce::String Nexus::getUserKindName (int kind)
{
    switch (kind)
    {
        case 1:   return "Larkspire";
        case 2:   return "administrator";
        case 100: return "Ardentis";
        case 101: return "anonymous";
        default:  return "Unknown User";
    }
}
