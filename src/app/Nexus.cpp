#include "app/Nexus.h"
#include "app/Larkspire.h"
#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "content/EventTracker.h"
#include "core/AppHost.h"
#include "core/DeviceInfoMessage.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "ui/ConversionProgressDialog.h"
#include "ui/MainAppWindow.h"

Nexus::Nexus() = default;

Nexus::~Nexus() = default;

void Nexus::startUp()
{
    // The managers are created here in this order, each only when the one before exists;
    // a step that leaves nothing raises fatal error 1 and ends the start-up.

    // 1. Content manager: loads the control content (it may raise fatal error 1 or 2 itself;
    //    the start-up goes on and the asynchronous quit follows) and, when online, starts
    //    the content download thread.
    setContentManager (new ContentManager());
    if (getContentManager() == nullptr)
    {
        appRaiseFatalError (1);
        return;
    }

    // 2. Event tracker (starts its thread).
    setEventTracker (new EventTracker());
    if (getEventTracker() == nullptr)
    {
        appRaiseFatalError (1);
        return;
    }

    // Long background jobs of the layers below show their progress in the program's window.
    ConversionProgressDialog::install();

    // 3. The main window. A previous one goes first: its destructor deletes the
    //    command manager that the new one registers with.
    mainWindow.reset();
    mainWindow = std::make_unique<MainAppWindow>();

    // 4. device profiler    (loads the known-device registry)
    // 5. device manager     (given the main content component; starts its thread)
    // 6. "Scan for Devices" invoked asynchronously
    // Steps 4 to 6 join as each of those parts of the program is built.

    // 7. The end of the start-up, relayed to the main content component.
    postMessage (new DeviceInfoMessage (InfoCode::startUpDone, 0, 0, {}));
}

void Nexus::shutDown()
{
    // 1. The main window's position and size.
    if (mainWindow != nullptr)
        setSetting (SettingsKeys::appWindowState, mainWindow->getWindowStateAsString());

    // 2. A running firmware update thread is stopped before anything it uses goes away.
    // 3. Device manager (10 s). Both join when they are built.

    // 4. Content manager: its destructor stops the content download thread (5 s).
    setContentManager (nullptr);

    // 5. Event tracker: queued events get their grace time, then its thread stops (5 s).
    setEventTracker (nullptr);

    // 6. The main window.
    mainWindow.reset();

    // 7. Device profiler: joins when the known-device registry is built.
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

    // Without a content manager there is nothing to prepare. The device profiler joins this
    // check (no profiler: false) when the known-device registry is built.
    auto* content = getContentManager();
    if (content == nullptr)
        return false;

    if (! content->isOnline())
        return content->loadStoredContent (productId);

    // Content that synchronised in this run is in place: nothing to do.
    if (content->isProductSynced (productId))
        return false;

    if (! content->prepareProduct (productId))
        return false;

    auto* downloader = content->getDownloadThread();
    if (content->findProductIndex (productId) >= 0 && downloader != nullptr)
    {
        downloader->queueProduct (productId);
        return true;
    }
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
