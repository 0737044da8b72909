#include "app/Nexus.h"
#include "app/Larkspire.h"
#include "app/QuitSignals.h"
#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "content/EventTracker.h"
#include "core/AppHost.h"
#include "core/DeviceInfoMessage.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceManager.h"
#include "device/DeviceProfiler.h"
#include "ui/ConversionProgressDialog.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "ui/LarkspireContentComponent.h"
#include "ui/MainAppWindow.h"
#include "ui/WindowSystem.h"
#include <optional>

Nexus::Nexus() = default;

Nexus::~Nexus() = default;

void Nexus::startUp()
{
    // The managers are created here in this order, each only when the one before exists;
    // a step that leaves nothing raises fatal error 1 and ends the start-up.

    // The MIDI ports are made first, so that a device outside the program that waits for
    // it can connect while the rest starts, and is found by the first scan.
    getMidiPortLayer();

    // 1. Content manager: loads the control content from disk and starts fetching the web
    //    copy (it may raise fatal error 1 or 2 itself; the start-up goes on and the
    //    asynchronous quit follows). When the web copy arrives it starts the content
    //    download thread.
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

    // 4. Device profiler. Its registry needs nothing from the web: it is read at once, so that
    //    the known units are listed while the web copy is awaited. The content of their
    //    products is made present once the fetch has ended (startDevices).
    setDeviceProfiler (new DeviceProfiler());
    if (getDeviceProfiler() == nullptr)
    {
        appRaiseFatalError (1);
        return;
    }
    getDeviceProfiler()->readRegistry();
    if (auto* content = getMainContent())
        if (auto* page = content->getDevicePage())
            page->showKnownUnits();

    // The web copy of the control descriptor is fetched by a worker while the window shows.
    // The devices start once the fetch has ended, on the descriptor it leaves in force (the
    // web copy, else the one on disk): the first scan identifies by that descriptor's products,
    // and the start-up's end, which tells whether the program is online, follows that scan.
    juce::WeakReference<juce::MessageListener> self (this);
    getContentManager()->callWhenDescriptorFetched ([self]
    {
        auto* hub = dynamic_cast<Nexus*> (self.get());
        if (hub == nullptr || ! hub->startDevices())
            return;

        // 7. The end of the start-up, relayed to the main content component.
        hub->postMessage (new DeviceInfoMessage (InfoCode::startUpDone, 0, 0, {}));
    });
}

bool Nexus::startDevices()
{
    // 4. The known-device registry is loaded, which makes the content of every product in it
    //    present, on the descriptor the fetch left in force.
    if (getDeviceProfiler() == nullptr)
        return false;
    getDeviceProfiler()->load();

    // 5. Device manager; its thread starts at once. Its messages and those of its device
    //    objects go to the main content component.
    setDeviceManager (new DeviceManager (getMainContent()));
    if (getDeviceManager() == nullptr)
    {
        appRaiseFatalError (1);
        return false;
    }
    getDeviceManager()->startThread();
    getCommandManager().commandStatusChanged();

    // 6. "Scan for Devices", invoked asynchronously through the main content component's
    //    command target; it posts the scan to the device manager.
    if (auto* content = getMainContent())
        if (auto* target = getCommandManager().findTargetForComponent (content))
            target->invokeDirectly (AppCommand::scanForDevices, true);
    return true;
}

void Nexus::shutDown()
{
    // 1. The main window's position and size. The program's windows go from the screen at
    //    once, whatever the steps below wait for, and the settings are written whole before
    //    anything is stopped.
    if (mainWindow != nullptr)
        setSetting (SettingsKeys::appWindowState, mainWindow->getWindowStateAsString());
    auto& desktop = juce::Desktop::getInstance();
    for (int i = desktop.getNumComponents(); --i >= 0;)
        desktop.getComponent (i)->setVisible (false);
    // For the user the quit begins as the window goes: requests to quit from now on are part of it.
    QuitSignals::quitBegins();
    flushWindowSystem();
    getApplicationProperties().saveIfNeeded();

    // 2. A running firmware update ends first (10 s): it uses the device and content managers.
    if (auto* content = getMainContent())
        content->stopFirmwareUpdate();

    // 3. Device manager: its thread stops (10 s), then it goes, stopping every device
    //    thread (5 s each).
    if (auto* devices = getDeviceManager())
        devices->stopThread (getDeviceTimings().managerStopTimeoutMs);
    setDeviceManager (nullptr);

    // 4. Content manager: its destructor stops the content download thread (5 s).
    setContentManager (nullptr);

    // 5. Event tracker: queued events get their grace time, then its thread stops (5 s).
    setEventTracker (nullptr);

    // 6. The main window.
    mainWindow.reset();

    // 7. Device profiler.
    setDeviceProfiler (nullptr);
}

void Nexus::handleMessage (const juce::Message& message)
{
    auto* info = dynamic_cast<const DeviceInfoMessage*> (&message);
    if (info == nullptr)
        return;

    // Relayed to the main content component; dropped while there is none.
    if (auto* content = getMainContent())
        content->postMessage (new DeviceInfoMessage (*info));
}

LarkspireContentComponent* Nexus::getMainContent() const
{
    return mainWindow != nullptr ? mainWindow->getMainContent() : nullptr;
}

bool Nexus::prepareProductContent (juce::uint8 productId)
{
    // The message thread never waits on the web, nor on a worker that holds the lock while it
    // downloads: it takes what is on disk and leaves the download to the content download thread.
    const bool messageThread = juce::MessageManager::existsAndIsCurrentThread();
    std::optional<juce::ScopedLock> sl;
    if (! messageThread)
        sl.emplace (contentLock);

    // Without a content manager or a device profiler there is nothing to prepare for.
    auto* content = getContentManager();
    if (content == nullptr || getDeviceProfiler() == nullptr)
        return false;

    if (! content->isOnline())
    {
        const bool loaded = content->loadStoredContent (productId);
        // The fetch of the web copy may have ended online while this product was read from
        // disk, too late to see it: it is prepared online below.
        if (! content->isOnline())
            return loaded;
    }

    // Content that synchronised in this run is in place: nothing to do.
    if (content->isProductSynced (productId))
        return false;

    if (messageThread)
        return content->queuePreparation (productId);

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
    if (auto* content = getMainContent())
        return content->requestQuit (forced);
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
