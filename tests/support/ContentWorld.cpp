#include "support/ContentWorld.h"
#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "content/ContentDownloadThread.h"
#include "content/WebTransfer.h"
#include <cstdlib>

namespace testing_support
{
    ScopedEnvironmentVariable::ScopedEnvironmentVariable (const char* n, const juce::String& value) : name (n)
    {
        if (auto* old = std::getenv (n))
        {
            hadValue = true;
            oldValue = old;
        }
        ::setenv (n, value.toRawUTF8(), 1);
    }

    ScopedEnvironmentVariable::~ScopedEnvironmentVariable()
    {
        if (hadValue)
            ::setenv (name.toRawUTF8(), oldValue.toRawUTF8(), 1);
        else
            ::unsetenv (name.toRawUTF8());
    }

    juce::File ContentWorld::sampleContent()
    {
       #ifdef LARKSPIRE_SOURCE_DIR
        return juce::File (LARKSPIRE_SOURCE_DIR).getChildFile ("resources").getChildFile ("Content");
       #else
        return {};
       #endif
    }

    ContentWorld::ContentWorld()
        : server (juce::File())
    {
        sampleContent().copyDirectoryTo (servedContent());
        server.setRoot (served.get());
        webRoot = std::make_unique<ScopedEnvironmentVariable> ("LARKSPIRE_WEB_ROOT", server.getRootAddress());
        installedContent().createDirectory();
        ContentManager::setInstalledContentFolder (installedContent());
        ContentDownloadThread::setMinimumIntervalSeconds (ContentDownloadThread::defaultMinimumIntervalSeconds);
        setWebTimeoutMs (20000);
    }

    ContentWorld::~ContentWorld()
    {
        setContentManager (nullptr);
        ContentManager::setInstalledContentFolder ({});
        ContentDownloadThread::setMinimumIntervalSeconds (ContentDownloadThread::defaultMinimumIntervalSeconds);
    }

    void ContentWorld::installSampleContent()
    {
        sampleContent().copyDirectoryTo (installedContent());
    }

    juce::File ContentWorld::appDataFolder() const
    {
        return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
                   .getChildFile ("Ardentis").getChildFile ("Larkspire 2");
    }

    juce::File ContentWorld::productFolder (const juce::String& productName) const
    {
        return appDataFolder().getChildFile (productName);
    }

    ContentManager& awaitDescriptor (ContentManager& manager)
    {
        auto fetched = std::make_shared<bool> (false);
        manager.callWhenDescriptorFetched ([fetched] { *fetched = true; });
        if (! pumpUntil ([&] { return *fetched; }, 60000))
            ADD_FAILURE() << "the web copy of the control descriptor never arrived nor failed";
        return manager;
    }

    ContentManager* newFetchedContentManager()
    {
        return &awaitDescriptor (*new ContentManager());
    }

    void editServedFile (const juce::File& file, const juce::String& from, const juce::String& to)
    {
        const auto text = file.loadFileAsString();
        if (! text.contains (from))
            ADD_FAILURE() << "\"" << from << "\" is not in " << file.getFullPathName();
        file.replaceWithText (text.replace (from, to));
    }
}
