#include "content/ContentManager.h"
#include "content/ContentDownloadThread.h"
#include "content/PictureDownloadThread.h"
#include "content/ContentFiles.h"
#include "core/AppHost.h"
#include "core/AppPaths.h"
#include "core/ThreadExit.h"
#include "model/AtomicFileWriter.h"
#include "model/FirmwareImage.h"

// Bringing a product's content up to date from the web: its capability content and variant
// pictures when it is prepared; its firmware list and images, conversion rules and scripts
// and preset packs when it is synchronised. A failed download keeps what is on disk.

namespace
{
    // Bounds of what an unpacked preset pack may hold.
    constexpr int maximumPackEntries = 10000;
    constexpr juce::int64 maximumPackBytes = 512LL * 1024 * 1024;

    // What the download of an image left behind when the program was killed meanwhile: its
    // temporary, which only a new download of the same image would replace. Those of downloads
    // running now stay.
    void discardImageLeftovers (juce::uint8 productId)
    {
        const auto folder = AppPaths::getFirmwareFolder (productId);
        if (folder.isEmpty() || ! juce::File (folder).isDirectory())
            return;
        for (auto& leftover : juce::File (folder).findChildFiles (juce::File::findFiles, false, ".*.tmp"))
            AtomicFileWriter::discardLeftover (leftover);
    }
}

bool ContentManager::downloadContentXml (juce::uint8 productId, int type, juce::Thread* thread,
                                         TransferDeadline deadline)
{
    const auto address = getContentAddress (productId, type, 0);
    const auto path = getContentFile (productId, type, 0, true);
    if (address.isEmpty() || path.isEmpty())
        return false;

    juce::MemoryBlock data;
    if (! readWebStreamToMemory (address, data, &bytesFetched, thread, deadline) || data.isEmpty())
        return false;

    // Only content of the right kind replaces the stored copy.
    auto xml = juce::parseXML (data.toString());
    if (! isXmlElementWithTag (xml.get(), ContentType::getRootTag (type)))
        return false;

    return replaceFileWithData (juce::File (path), data.getData(), data.getSize());
}

bool ContentManager::prepareProduct (juce::uint8 productId)
{
    {
        const juce::ScopedLock sl (lock);
        if (activeDescriptor == nullptr || findRecord (productId) == nullptr)
            return false;
    }
    if (! online.load())
        return false;

    // The download thread and the device threads may both prepare a product: they share its files.
    const juce::ScopedLock pl (preparationLock);

    const auto folder = AppPaths::getProductFolder (productId);
    if (folder.isEmpty() || ! juce::File (folder).createDirectory())
        return false;

    const bool capsCurrent = isContentCurrent (productId, ContentType::caps);
    bool result = true;

    if (! capsCurrent)
    {
        // Something waits for the caps in the foreground: their transfer has a bound as a whole.
        result = downloadContentXml (productId, ContentType::caps, nullptr, webTimeoutFromNow());
        if (result)
            loadContent (productId, ContentType::caps, true);
    }

    result = parseContentLists (productId, ContentType::caps) && result;

    // A unit is usable without its pictures: those on disk serve (the default one for any
    // missing), and a thread of their own brings the others, which nothing waits for.
    const bool picturesWanted = rebuildVariantImages (productId, ! capsCurrent);
    if (auto* pictures = pictureDownloader.load(); pictures != nullptr && picturesWanted)
        pictures->queueProduct (productId, ! capsCurrent);
    return result;
}

bool ContentManager::downloadVariantImages (juce::uint8 productId, bool force, juce::Thread* thread)
{
    juce::StringArray icons;
    if (! copyFromRecord (productId, &ProductInfo::variantIconAddresses, icons))
        return false;

    bool fetched = false;
    for (int i = 0; i < icons.size() && ! thread->threadShouldExit(); ++i)
    {
        const auto path = getContentFile (productId, ContentType::variantIcon, i, true);
        if (path.isNotEmpty() && (force || ! juce::File (path).exists()))
            fetched = downloadToFile (icons[i], path, true, &bytesFetched, thread) || fetched;
    }
    if (fetched)
        rebuildVariantImages (productId, false);
    return fetched;
}

bool ContentManager::queuePreparation (juce::uint8 productId)
{
    auto* thread = getDownloadThread();
    if (! online.load() || thread == nullptr || findProductIndex (productId) < 0)
        return false;

    if (getCapsXml (productId) == nullptr && ! thread->isQueued (productId))
        loadStoredContent (productId);
    thread->queueProduct (productId, true);
    return true;
}

bool ContentManager::syncUnitFiles (juce::uint8 productId, juce::Thread* thread)
{
    juce::String name;
    {
        const juce::ScopedLock sl (lock);
        auto* p = findRecord (productId);
        if (p == nullptr || activeDescriptor == nullptr || thread == nullptr)
            return false;
        p->synced = p->unitFilesSynced = p->firmwareImagesDue = false;
        name = p->name;
    }
    if (! online.load())
        return false;

    bool result = true, imagesDue = false;

    // Firmware list, then rule list and scripts: each only when the product has one.
    struct ListStep { int type; const char* status; };
    for (auto step : { ListStep { ContentType::firmwareList, ": firmware update files" },
                       ListStep { ContentType::conversionRules, ": conversion rules" } })
    {
        postContentStatusText (name + step.status);
        if (getContentAddress (productId, step.type, 0).isEmpty() || thread->threadShouldExit())
            continue;

        // A failed list download counts against the result; the stored list is still used.
        const bool current = isContentCurrent (productId, step.type);
        if (! current)
        {
            const bool downloaded = downloadContentXml (productId, step.type, thread, 0);
            result = downloaded && result;
            if (downloaded)
                loadContent (productId, step.type, true);
        }

        if (thread->threadShouldExit())
            continue;

        result = parseContentLists (productId, step.type) && result;
        const bool filesDue = ! (current && areContentFilesPresent (productId, step.type));
        if (step.type == ContentType::firmwareList)
            imagesDue = filesDue;
        else if (filesDue)
            result = downloadRuleScripts (productId, thread) && result;
    }

    // A synchronisation cut short by an exit request is never complete.
    result = result && ! thread->threadShouldExit();

    const juce::ScopedLock sl (lock);
    if (auto* p = findRecord (productId))
    {
        p->unitFilesSynced = result;
        p->firmwareImagesDue = imagesDue;
    }
    return result;
}

bool ContentManager::syncLargeFiles (juce::uint8 productId, juce::Thread* thread)
{
    juce::String name;
    bool result = false, imagesDue = false;
    {
        const juce::ScopedLock sl (lock);
        auto* p = findRecord (productId);
        if (p == nullptr || activeDescriptor == nullptr || thread == nullptr)
            return false;
        name = p->name;
        result = p->unitFilesSynced;
        imagesDue = p->firmwareImagesDue;
    }
    if (! online.load())
        return false;

    discardImageLeftovers (productId);

    // The images tell of themselves again only when one is really fetched.
    if (imagesDue && ! thread->threadShouldExit())
        result = downloadFirmwareImages (productId, thread) && result;

    if (getContentAddress (productId, ContentType::presetPacks, 0).isNotEmpty())
    {
        postContentStatusText (name + ": preset packs");
        if (thread->threadShouldExit())
            result = false;
        else if (! (isPresetPackListCurrent (productId) && areContentFilesPresent (productId, ContentType::presetPacks)))
            result = downloadPresetPacks (productId, thread) && result;
    }

    if (thread->threadShouldExit())
        result = false;

    const juce::ScopedLock sl (lock);
    if (auto* p = findRecord (productId))
    {
        p->synced = result;
        p->lastSyncTime = juce::Time::currentTimeMillis();
    }
    return result;
}

bool ContentManager::downloadFirmwareImage (const FirmwareUpdateElement& entry, juce::Thread* thread)
{
    // Kept only when whole: an image has no end mark, and the list names no size, so only a
    // transfer that knows its end can tell the whole image from a piece that ends between two
    // messages; the image must then read as the update reads it. A piece never takes the
    // image's place, and the old file, if any, stays.
    DownloadCheck check;
    check.maximumBytes = FirmwareImage::maxSize;
    check.endMustBeKnown = true;
    check.accept = [] (const juce::File& image) { return FirmwareImage::read (image, nullptr); };
    return downloadToFile (entry.getLink(), entry.getImageFile(), true, &bytesFetched, thread, check);
}

void ContentManager::markFirmwareEntryFailed (juce::uint8 productId, const FirmwareUpdateElement& entry)
{
    const juce::ScopedLock sl (lock);
    if (auto* p = findRecord (productId))
        for (auto& e : p->firmwareList)
            if (e.getLink() == entry.getLink() && e.getBuild() == entry.getBuild())
                e.setStatus (FirmwareUpdateElement::statusUnknown);
}

bool ContentManager::downloadFirmwareImages (juce::uint8 productId, juce::Thread* thread)
{
    const auto folder = AppPaths::getFirmwareFolder (productId);
    if (folder.isEmpty() || ! juce::File (folder).createDirectory())
        return false;

    juce::Array<FirmwareUpdateElement> list;
    juce::String name;
    if (! copyFromRecord (productId, &ProductInfo::firmwareList, list) || ! copyFromRecord (productId, &ProductInfo::name, name))
        return false;

    const bool developer = appIsDeveloper();
    bool result = true, told = false;

    for (auto& entry : list)
    {
        if (exitRequested (thread))
            return result;

        switch (entry.getStatus())
        {
            case FirmwareUpdateElement::statusRevoked:
                juce::File (entry.getImageFile()).deleteFile();
                continue;

            case FirmwareUpdateElement::statusExpired:
                continue;

            case FirmwareUpdateElement::statusBeta:
            case FirmwareUpdateElement::statusAlpha:
                if (! developer)
                    continue;
                break;

            default:
                break;
        }

        // Not forced: a whole image is kept; any other is fetched again.
        if (entry.isUsable())
            continue;

        if (! told)
        {
            postContentStatusText (name + ": firmware update files");
            told = true;
        }

        if (! downloadFirmwareImage (entry, thread))
        {
            // An image cut short by the exit request has not failed: it comes next time.
            if (exitRequested (thread))
                return false;
            markFirmwareEntryFailed (productId, entry);
            result = false;
        }
    }
    return result;
}

bool ContentManager::downloadRuleScripts (juce::uint8 productId, juce::Thread* thread)
{
    const auto folder = AppPaths::getScriptFolder (productId);
    if (folder.isEmpty() || ! juce::File (folder).createDirectory())
        return false;

    auto rules = loadContent (productId, ContentType::conversionRules, false);
    if (! isXmlElementWithTag (rules.get(), ContentType::getRootTag (ContentType::conversionRules)))
        return false;

    bool result = true;
    for (auto* child : rules->getChildIterator())
    {
        if (exitRequested (thread))
            return result;
        if (! child->hasAttribute ("script"))
            continue;

        const auto address = child->getStringAttribute ("script");
        const auto path = ContentFiles::fileInFolder (folder, address);
        result = path.isNotEmpty() && downloadToFile (address, path, false, &bytesFetched, thread) && result;
    }
    return result;
}

bool ContentManager::extractPack (const juce::File& archive, const juce::File& folder, juce::Thread* thread) const
{
    juce::ZipFile zip (archive);
    const int n = zip.getNumEntries();
    if (n < 1 || n > maximumPackEntries)
        return false;

    // Every entry must be a plain file or folder inside the packs folder.
    juce::int64 total = 0;
    for (int i = 0; i < n; ++i)
    {
        auto* entry = zip.getEntry (i);
        if (entry == nullptr || entry->isSymbolicLink)
            return false;

        const auto name = entry->filename.replaceCharacter ('\\', '/');
        const auto target = folder.getChildFile (name);
        if (name.isEmpty() || ! target.isAChildOf (folder) || target == archive)
            return false;

        total += juce::jmax ((juce::int64) 0, entry->uncompressedSize);
        if (total > maximumPackBytes)
            return false;
    }

    for (int i = 0; i < n; ++i)
    {
        if (exitRequested (thread))
            return false;
        if (zip.uncompressEntry (i, folder, juce::ZipFile::OverwriteFiles::yes,
                                 juce::ZipFile::FollowSymlinks::no).failed())
            return false;
    }
    return true;
}

bool ContentManager::downloadPresetPacks (juce::uint8 productId, juce::Thread* thread)
{
    const auto address = getContentAddress (productId, ContentType::presetPacks, 0);
    const auto packsPath = AppPaths::getPacksFolder (productId);
    const auto archiveName = ContentFiles::lastSegment (address);
    if (address.isEmpty() || packsPath.isEmpty() || archiveName.isEmpty() || archiveName == packKeyFileName)
        return false;

    // The new pack is fetched and unpacked beside the packs folder, which is replaced only
    // when everything is in place; until then the old packs stay as they are.
    juce::MemoryBlock data;
    if (! readWebStreamToMemory (address, data, &bytesFetched, thread) || data.isEmpty())
        return false;

    const juce::File packs (packsPath);
    const auto incoming = packs.getSiblingFile (packs.getFileName() + ".incoming");
    const auto previous = packs.getSiblingFile (packs.getFileName() + ".previous");
    incoming.deleteRecursively();

    auto fail = [&incoming]
    {
        incoming.deleteRecursively();
        return false;
    };

    if (! incoming.createDirectory())
        return fail();

    const auto archive = incoming.getChildFile (archiveName);
    if (! replaceFileWithData (archive, data.getData(), data.getSize()))
        return fail();

    if (! extractPack (archive, incoming, thread) || exitRequested (thread))
        return fail();

    const auto key = getDescriptorKey (productId, ContentType::presetPacks);
    if (! incoming.getChildFile (packKeyFileName).replaceWithText (key))
        return fail();

    previous.deleteRecursively();
    if (packs.exists() && ! packs.moveFileTo (previous))
        return fail();

    if (! incoming.moveFileTo (packs))
    {
        previous.moveFileTo (packs);
        return fail();
    }

    previous.deleteRecursively();
    return true;
}
