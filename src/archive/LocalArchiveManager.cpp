#include "archive/LocalArchiveManager.h"
#include "archive/ConversionThread.h"
#include "core/AppHost.h"

namespace
{
    std::atomic<int> stopTimeoutMs { LocalArchiveManager::defaultStopTimeoutMs };
}

void LocalArchiveManager::setStopTimeoutMs (int milliseconds) noexcept
{
    stopTimeoutMs = milliseconds > 0 ? milliseconds : defaultStopTimeoutMs;
}

int LocalArchiveManager::getStopTimeoutMs() noexcept
{
    return stopTimeoutMs.load();
}

LocalArchiveManager::LocalArchiveManager (const DeviceDataFormat& format, const juce::String& unitName)
    : backups (std::make_shared<BackupIndex> (format, unitName))
{
    backups->loadIndex();
}

LocalArchiveManager::~LocalArchiveManager()
{
    if (auto* thread = conversionThread)
    {
        conversionThread = nullptr;
        thread->cancelled = true;
        thread->signalThreadShouldExit();

        if (thread->waitForThreadToExit (getStopTimeoutMs()))
        {
            delete thread;
        }
        else
        {
            // Killing it could leave the index lock held and the files half-written. It keeps
            // its own share of the index and deletes itself when it ends; the program ends.
            appRaiseFatalError (3);
        }
    }
}

juce::String LocalArchiveManager::createNextArchiveFile()
{
    if (backups->isConversionPending())
        return {};
    return backups->createNextArchiveFile();
}

bool LocalArchiveManager::startConversion (const VersionNumber& target)
{
    if (conversionThread != nullptr || ! backups->hasIndex())
        return false;

    backups->setConversionPending (true);
    backups->setTree (createBackupsSourceNode());
    conversionThread = new ConversionThread (this, target);
    conversionThread->launch();
    return true;
}
