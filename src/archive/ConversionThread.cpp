#include "archive/ConversionThread.h"
#include "archive/ConfinedFiles.h"
#include "archive/WholeXmlFile.h"
#include "content/ContentManager.h"
#include "core/InfoCodes.h"

namespace
{
    const juce::Identifier setTag ("set"), groupTag ("group"), archiveTag ("archive");
    constexpr juce::int64 maxDescriptionBytes = 1024 * 1024;

    juce::BigInteger bit (int n)
    {
        juce::BigInteger b;
        b.setBit (n);
        return b;
    }
}

LocalArchiveManager::ConversionThread::ConversionThread (LocalArchiveManager* m, const VersionNumber& t)
    : juce::Thread ("Archive Conversion"),
      manager (m),
      backups (m->backups),
      target (t),
      content (m->conversionContent)
{
}

LocalArchiveManager::ConversionThread::~ConversionThread()
{
    cancelPendingUpdate();
    window.reset();
    // Only ever deleted once the run has ended; this waits for the last instructions of it.
    waitForThreadToExit (-1);
}

void LocalArchiveManager::ConversionThread::launch()
{
    startThread (juce::Thread::Priority::normal);
    window = ConversionProgressWindow::create ("Converting Data", "Stop!", *this);
}

juce::String LocalArchiveManager::ConversionThread::getStatusMessage() const
{
    const juce::ScopedLock sl (statusLock);
    return status;
}

void LocalArchiveManager::ConversionThread::setStatus (const juce::String& text)
{
    const juce::ScopedLock sl (statusLock);
    status = text;
}

void LocalArchiveManager::ConversionThread::stopPressed()
{
    userStopped = true;
    signalThreadShouldExit();
}

void LocalArchiveManager::ConversionThread::presetConverted (int numDone, int numTotal)
{
    if (numTotal != 0)
        progress = (double) numDone / (double) numTotal;
}

void LocalArchiveManager::ConversionThread::setupConverted()
{
    progress = 1.0;
}

void LocalArchiveManager::ConversionThread::addError (const juce::BigInteger& bits, const juce::String& text)
{
    errors |= bits;
    if (text.isNotEmpty() && ! errorText.contains (text))
        errorText << "\n" << text;
}

//==============================================================================
void LocalArchiveManager::ConversionThread::run()
{
    {
        const juce::ScopedLock sl (backups->getLock());
        progress = -1.0;
        setStatus ("Starting conversion...");

        const auto& format = backups->getFormat();
        auto* current = backups->findSet (format.presetVersion, format.setupVersion);
        if (current == nullptr)
            current = backups->createSet (format.presetVersion, format.setupVersion);

        juce::XmlElement* currentGroup = nullptr;
        if (current != nullptr)
        {
            currentGroup = current->getChildByName (groupTag);
            if (currentGroup == nullptr)
                currentGroup = current->createNewChildElement (groupTag);
        }

        if (currentGroup == nullptr)
        {
            errors.setBit (DataConversionManager::targetNotCreated);
        }
        else
        {
            auto* index = backups->getIndex();
            for (auto* set = index->getFirstChildElement(); set != nullptr && ! threadShouldExit();)
            {
                auto* next = set->getNextElement();
                if (set != current && set->hasTagName (setTag))
                {
                    setStatus ("Converting Group: " + juce::String (set->getIntAttribute ("presetVersion", 0)));
                    if (auto* group = set->getChildByName (groupTag))
                        convertGroup (*currentGroup, *group);

                    auto* group = set->getChildByName (groupTag);
                    if (group == nullptr || group->getNumChildElements() == 0)
                        index->removeChildElement (set, true);
                }
                set = next;
            }

            const bool written = backups->writeIndexFile();
            if (! written)
                addError (bit (DataConversionManager::internalError), "The backup index could not be written.");
            finishFiles (written);
        }

        if (! cancelled)
        {
            // What is on disk is the truth after a stop or a failure; the new tree is
            // handed over only now, complete.
            if (threadShouldExit() || ! errors.isZero())
                backups->loadIndex();
            backups->setConversionPending (false);
            backups->buildTree();
        }
        progress = -1.0;
    }

    triggerAsyncUpdate();
}

void LocalArchiveManager::ConversionThread::convertGroup (juce::XmlElement& targetGroup, juce::XmlElement& sourceGroup)
{
    for (auto* child = sourceGroup.getFirstChildElement(); child != nullptr && ! threadShouldExit();)
    {
        auto* next = child->getNextElement();

        if (child->hasTagName (groupTag))
        {
            auto* newGroup = targetGroup.createNewChildElement (groupTag);
            newGroup->setAttribute ("name", child->getStringAttribute ("name"));
            convertGroup (*newGroup, *child);

            if (child->getNumChildElements() == 0)
                sourceGroup.removeChildElement (child, true);
            else if (newGroup->getNumChildElements() == 0)
                targetGroup.removeChildElement (newGroup, true);   // nothing moved: the folder stays where it was
        }
        else if (child->hasTagName (archiveTag))
        {
            convertItem (targetGroup, sourceGroup, *child);
        }

        child = next;
    }
}

void LocalArchiveManager::ConversionThread::convertItem (juce::XmlElement& targetGroup, juce::XmlElement& sourceGroup,
                                                         juce::XmlElement& entry)
{
    const auto metaFile = ConfinedFiles::resolve (entry.getAllSubText(), {});

    // An entry whose file is gone names nothing; one already moved is a duplicate.
    if (metaFile == juce::File() || (! metaFile.exists() && ! metaFile.isSymbolicLink()) || oldFiles.contains (metaFile))
    {
        sourceGroup.removeChildElement (&entry, true);
        return;
    }

    if (! backups->isUsableEntryFile (metaFile))
        return;
    DeviceDataArchive::finishInterruptedSave (metaFile);
    auto xml = WholeXmlFile::parse (metaFile, maxDescriptionBytes);
    if (xml == nullptr)
        return;

    const auto dataFolder = backups->getDataFolder();
    auto item = std::make_unique<DeviceDataArchive> (*xml, dataFolder);
    if (! item->isValid())
        return;

    setStatus ("Converting: " + item->getTitle());
    const auto oldDataFile = ConfinedFiles::resolve (item->getLinkData(), dataFolder);

    juce::String itemErrorText;
    const auto bits = item->convertData (target, itemErrorText, this, content);
    if (! bits.isZero())
    {
        // An item cut short by a stop is no failure of its own: it simply stays.
        if (! threadShouldExit())
            addError (bits, itemErrorText);
        return;
    }

    // The converted item goes to new files; the old ones stay until the index no longer names them.
    const auto base = backups->createNextArchiveFile();
    const juce::File newMeta (base + ".xml"), newData (base + ".ard");
    item->setLinkData (newData.getFullPathName());
    if (base.isEmpty() || ! item->save (newMeta))
    {
        if (base.isNotEmpty())
        {
            newMeta.deleteFile();
            newData.deleteFile();
        }
        addError (bit (DataConversionManager::internalError),
                  "The converted backup \"" + item->getTitle() + "\" could not be saved.");
        return;
    }

    targetGroup.createNewChildElement (archiveTag)->addTextElement (newMeta.getFullPathName());
    sourceGroup.removeChildElement (&entry, true);
    oldFiles.add (metaFile);
    if (oldDataFile != juce::File() && oldDataFile != newData)
        oldFiles.add (oldDataFile);
    newFiles.add (newMeta);
    newFiles.add (newData);
}

void LocalArchiveManager::ConversionThread::finishFiles (bool indexWritten)
{
    if (indexWritten)
    {
        for (auto& f : oldFiles)
            if (backups->isUsableEntryFile (f))
                f.deleteFile();
    }
    else
    {
        // The index on disk still names the old files, which are all there; the new
        // copies are not named anywhere.
        for (auto& f : newFiles)
            f.deleteFile();
    }
    oldFiles.clear();
    newFiles.clear();
}

//==============================================================================
void LocalArchiveManager::ConversionThread::handleAsyncUpdate()
{
    threadComplete (userStopped.load());
}

void LocalArchiveManager::ConversionThread::threadComplete (bool userPressedCancel)
{
    window.reset();

    // A conversion whose manager went away reports nothing: its unit is no longer shown.
    if (! cancelled)
    {
        if (! userPressedCancel && errors.isZero())
        {
            const juce::ScopedLock sl (backups->getLock());
            postInfoToHub (InfoCode::backupConversionFinished, 1, 0, {});
        }
        else
        {
            postInfoToHub (InfoCode::backupConversionFinished, 0, userPressedCancel ? 0 : 1,
                           errorText.isNotEmpty() ? errorText : DataConversionManager::getErrorBitsText (errors));
        }

        if (manager != nullptr && manager->conversionThread == this)
            manager->conversionThread = nullptr;
    }

    delete this;
}
