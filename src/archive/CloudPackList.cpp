#include "archive/CloudPackList.h"
#include "archive/ConfinedFiles.h"
#include "archive/ConversionProgressWindow.h"
#include "content/ContentManager.h"
#include "core/AppPaths.h"
#include "core/DialogService.h"
#include "core/EmbeddedResources.h"
#include "core/WebAddress.h"

namespace
{
    constexpr juce::int64 maxDescriptionBytes = 1024 * 1024;
    constexpr juce::int64 maxListBytes = 16 * 1024 * 1024;

    void showError (const juce::String& message)
    {
        getDialogService().showMessageBox (DialogService::Icon::warning, "Error", message, { "OK" }, nullptr);
    }

    // Subfolders in name order; a linked folder is no part of the packs.
    juce::Array<juce::File> subfoldersOf (const juce::File& folder)
    {
        auto list = folder.findChildFiles (juce::File::findDirectories, false);
        juce::Array<juce::File> result;
        for (auto& f : list)
            if (! f.isSymbolicLink())
                result.add (f);
        std::sort (result.begin(), result.end(),
                   [] (const juce::File& a, const juce::File& b) { return a.getFileName() < b.getFileName(); });
        return result;
    }

    juce::ValueTree childGroupNamed (const juce::ValueTree& parent, const juce::String& label)
    {
        for (const auto& child : parent)
            if (child.getType() == SourceIds::group && child[SourceIds::label].toString() == label)
                return child;
        return {};
    }

    // A relative link becomes absolute against the description's folder; built-in picture
    // names and web addresses stay as they are.
    void resolveLink (juce::XmlElement& root, const char* tag, const juce::File& folder)
    {
        auto* e = root.getChildByName (tag);
        if (e == nullptr)
            return;
        const auto text = e->getAllSubText().trim();
        if (text.isEmpty() || text.startsWith ("*") || isWebAddress (text) || juce::File::isAbsolutePath (text))
            return;
        e->deleteAllTextElements();
        e->addTextElement (folder.getChildFile (text).getFullPathName());
    }

    enum class WebRead { done, failed, stopped };

    // Reads a web address for the pack tools on a worker, behind a progress window whose button
    // cancels the read. The message loop runs meanwhile, so the program stays responsive, and a
    // quit given meanwhile gives the read up at once, as the button does.
    class PackFileReader : public juce::Thread,
                           public ConversionProgressWindow::Job
    {
    public:
        PackFileReader (const juce::String& a, const juce::String& what)
            : juce::Thread ("Pack File Reader"), address (a), status ("Reading " + what + "...")
        {
        }

        ~PackFileReader() override { stopThread (-1); }

        WebRead read (juce::MemoryBlock& out)
        {
            if (! startThread())
                return WebRead::failed;

            bool quitting = false;
            auto* messages = juce::MessageManager::getInstanceWithoutCreating();
            if (messages != nullptr && messages->isThisTheMessageThread())
            {
                auto window = ConversionProgressWindow::create ("Converting Preset Pack", "Cancel", *this);
                while (! ended.load() && ! quitting)
                    quitting = ! messages->runDispatchLoopUntil (20);   // false once the program quits
            }

            // The read is given up at the exit request, so this wait is short.
            if (quitting)
                signalThreadShouldExit();
            waitForThreadToExit (-1);

            if (quitting || cancelled.load())
                return WebRead::stopped;
            if (! succeeded)
                return WebRead::failed;
            out = std::move (data);
            return WebRead::done;
        }

        double getProgress() const override           { return -1.0; }
        juce::String getStatusMessage() const override { return status; }

        void stopPressed() override
        {
            cancelled = true;
            signalThreadShouldExit();
        }

    private:
        void run() override
        {
            succeeded = readWebStreamToMemory (address, data, nullptr, this);
            ended = true;
        }

        const juce::String address, status;
        juce::MemoryBlock data;
        bool succeeded = false;
        std::atomic<bool> ended { false }, cancelled { false };
    };

    // Reads a data file or a list that the pack tools name: a web address behind the progress
    // window, anything else as a local file. Null when it cannot be read, is larger than
    // `maxBytes` or was stopped (`stopped` then set).
    std::unique_ptr<juce::MemoryBlock> readPackFile (const juce::String& location, const juce::String& what,
                                                     size_t maxBytes, bool& stopped)
    {
        auto block = std::make_unique<juce::MemoryBlock>();
        if (isWebAddress (location))
        {
            const auto result = PackFileReader (location, what).read (*block);
            stopped = result == WebRead::stopped;
            if (result != WebRead::done)
                return {};
        }
        else
        {
            const juce::File file (location);
            if (! juce::File::isAbsolutePath (location) || ! file.existsAsFile() || (juce::uint64) file.getSize() > maxBytes
                || ! file.loadFileAsData (*block))
                return {};
        }
        return block->getSize() <= maxBytes ? std::move (block) : nullptr;
    }

    juce::File packsFolderOf (juce::uint8 productId)
    {
        const auto path = AppPaths::getPacksFolder (productId);
        return path.isNotEmpty() ? juce::File (path) : juce::File();
    }

    // A file as a listing of the packs saw it: its size and time, and for a description the
    // text, which names its data's digest. A folder is there or not: its time changes with
    // whatever is written in it.
    juce::String describeEntry (const juce::File& f)
    {
        if (f.isDirectory())
            return "folder";
        juce::String state;
        state << f.getSize() << '|' << f.getLastModificationTime().toMilliseconds();
        if (f.hasFileExtension ("xml") && f.existsAsFile() && f.getSize() <= maxDescriptionBytes)
            state << '|' << f.loadFileAsString().hashCode64();
        return state;
    }

    // What a listing of the packs is built from: every folder and file below the packs folder,
    // by place.
    std::map<juce::String, juce::String> describePacksFolder (const juce::File& packs)
    {
        std::map<juce::String, juce::String> state;
        if (packs.isDirectory())
            for (auto& f : packs.findChildFiles (juce::File::findFilesAndDirectories, true, "*", juce::File::FollowSymlinks::no))
                state[f.getRelativePathFrom (packs)] = describeEntry (f);
        return state;
    }

    // The file name an address ends in, without its query or fragment.
    juce::String lastSegment (const juce::String& address)
    {
        return lastPathSegment (address.trim().upToFirstOccurrenceOf ("?", false, false)
                                              .upToFirstOccurrenceOf ("#", false, false));
    }
}

CloudPackList::CloudPackList (juce::uint8 id, const DeviceDataFormat& format, const VersionNumber& version,
                              const ConversionContent* c)
    : productId (id), unitFormat (format), unitVersion (version), content (c), node (createCloudSourceNode())
{
    reload();
}

bool CloudPackList::isCurrent() const
{
    return describePacksFolder (packsFolderOf (productId)) == listedFolderState;
}

void CloudPackList::reload()
{
    // Taken before the listing, so that a pack written meanwhile differs from it and is listed
    // at the next refresh. What the listing saved itself (packs converted on the way, saved in
    // place) is taken as it is afterwards.
    const auto packs = packsFolderOf (productId);
    auto state = describePacksFolder (packs);
    node.removeAllChildren (nullptr);
    juce::Array<juce::File> saved;
    loadPacksIntoTree (node, &saved);
    for (auto& f : saved)
    {
        if (f.exists())
            state[f.getRelativePathFrom (packs)] = describeEntry (f);
        else
            state.erase (f.getRelativePathFrom (packs));
    }
    listedFolderState = std::move (state);
}

void CloudPackList::buildPackGroupNodes (juce::ValueTree category, const juce::File& packsFolder)
{
    for (auto& folder : subfoldersOf (packsFolder))
    {
        auto group = childGroupNamed (category, folder.getFileName());
        if (! group.isValid())
        {
            group = createSourceNode (SourceIds::group, folder.getFileName());
            category.appendChild (group, nullptr);
        }
        buildPackGroupNodes (group, folder);
    }
}

juce::ValueTree CloudPackList::findPackGroupNode (juce::ValueTree category, const juce::File& packsFolder,
                                                  const juce::File& folder) const
{
    if (folder == packsFolder || ! folder.isAChildOf (packsFolder))
        return category;

    auto parent = findPackGroupNode (category, packsFolder, folder.getParentDirectory());
    auto group = childGroupNamed (parent, folder.getFileName());
    return group.isValid() ? group : parent;
}

void CloudPackList::loadPacksIntoTree (juce::ValueTree category, juce::Array<juce::File>* saved)
{
    const auto packs = packsFolderOf (productId);
    if (! packs.isDirectory())
        return;

    buildPackGroupNodes (category, packs);

    auto files = packs.findChildFiles (juce::File::findFiles, true, "*.xml");
    std::sort (files.begin(), files.end(),
               [] (const juce::File& a, const juce::File& b) { return a.getFullPathName() < b.getFullPathName(); });

    for (auto& file : files)
    {
        if (! ConfinedFiles::isReadableFile (file, packs))
            continue;
        DeviceDataArchive::finishInterruptedSave (file);
        if (file.getSize() > maxDescriptionBytes)
            continue;
        auto xml = juce::parseXML (file);
        if (xml == nullptr)
            continue;

        const auto folder = file.getParentDirectory();
        resolveLink (*xml, "linkData", folder);
        resolveLink (*xml, "linkImage", folder);

        auto item = std::make_unique<DeviceDataArchive> (*xml, packs);
        if (! item->isValid() || item->getData() == nullptr || item->getProductId() != productId)
            continue;

        if (! item->getData()->hasSameFormat (unitFormat))
        {
            juce::String errorText;
            if (! item->convertData (unitVersion, errorText, nullptr, content).isZero())
                continue;   // a pack that does not convert is not offered
            // When this fails the pack is converted again next time.
            if (item->save (file) && saved != nullptr)
                saved->addArray ({ file, item->getDataFile (file) });
        }

        auto group = findPackGroupNode (category, packs, folder);
        group.appendChild (createArchiveSourceNode (std::move (item)), nullptr);
    }
}

//==============================================================================
juce::Time CloudPackList::parseArchiveDate (const juce::String& digits)
{
    const auto text = digits.trim();
    if (text.length() != 14 || ! text.containsOnly ("0123456789"))
        return juce::Time::getCurrentTime();

    const int year = text.substring (0, 4).getIntValue();
    const int month = text.substring (4, 6).getIntValue();
    const int day = text.substring (6, 8).getIntValue();
    const int hours = text.substring (8, 10).getIntValue();
    const int minutes = text.substring (10, 12).getIntValue();
    const int seconds = text.substring (12, 14).getIntValue();
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hours > 23 || minutes > 59 || seconds > 59)
        return juce::Time::getCurrentTime();

    return juce::Time (year, month - 1, day, hours, minutes, seconds, 0, true);
}

bool CloudPackList::convertArchiveListEntry (const juce::XmlElement& entry, juce::uint8 targetProduct,
                                             const VersionNumber& targetVersion, const juce::File& outFile,
                                             const ConversionContent* content, bool* stopped)
{
    const auto title = entry.getChildByName ("title") != nullptr ? entry.getChildElementAllSubText ("title", {})
                                                                 : juce::String ("???");
    const auto description = entry.getChildElementAllSubText ("description", {});
    const auto iconName = entry.getChildElementAllSubText ("iconName", {});
    const auto date = entry.getChildElementAllSubText ("date", {});
    const auto dataUrl = entry.getChildElementAllSubText ("dataURL", {}).trim();
    const auto skipped = "Couldn't load " + title + ". The archive will be skipped.";

    bool readStopped = false;
    const auto bytes = readPackFile (dataUrl, title, DeviceData::maxFileSize, readStopped);
    if (readStopped)
    {
        if (stopped != nullptr)
            *stopped = true;
        return false;
    }
    auto data = bytes != nullptr ? DeviceData::createFromData (bytes->getData(), bytes->getSize()) : nullptr;
    if (data == nullptr)
    {
        showError (skipped);
        return false;
    }
    data->clearModifiedFlags (false);

    DeviceDataArchive archive (data.get(), title, description);
    juce::String errorText;
    if (! archive.convertData (targetProduct, targetVersion, errorText, nullptr, content).isZero())
    {
        showError ("Data conversion failed on " + title + ". \n\nError: " + errorText);
        return false;
    }

    archive.setPubDate (parseArchiveDate (date).toMilliseconds());
    auto dataName = lastSegment (dataUrl);
    if (dataName.isEmpty() || ! AppPaths::isUsableFolderName (dataName))
        dataName = outFile.withFileExtension ("ard").getFileName();
    archive.setLinkData (dataName);

    const auto key = "archive_icon_"
                   + iconName.retainCharacters ("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_0123456789");
    if (hasEmbeddedResource (getEmbeddedResourceKey (key + ".svg")) || hasEmbeddedResource (getEmbeddedResourceKey (key + ".png")))
        archive.setLinkImage ("*" + key + ".png");
    else
        showError ("Can't find icon: " + key);

    archive.setHomeFolder (outFile.getParentDirectory());
    if (! archive.save (outFile))
    {
        showError (skipped);
        return false;
    }
    return true;
}

int CloudPackList::convertPresetPack (const juce::String& listLocation, const ConversionContent* content, bool* stopped)
{
    auto location = listLocation.trim();
    if (location.isEmpty())
    {
        const auto chosen = getDialogService().chooseFile (DialogService::ChooserMode::openFile, "Select Source Pack",
                                                           {}, "*.xml");
        if (chosen == juce::File())
            return 0;
        location = chosen.getFullPathName();
    }

    const bool local = ! isWebAddress (location);
    const auto source = local ? ConfinedFiles::resolve (location, juce::File::getCurrentWorkingDirectory()).getFullPathName()
                              : location;
    bool readStopped = false;
    const auto listBytes = readPackFile (source, location, (size_t) maxListBytes, readStopped);
    if (readStopped)
    {
        if (stopped != nullptr)
            *stopped = true;
        return 0;
    }
    auto list = listBytes != nullptr ? juce::parseXML (juce::String::createStringFromData (listBytes->getData(), (int) listBytes->getSize()))
                                     : nullptr;

    const juce::String failed ("Something went wrong. Figure it out.");
    if (list == nullptr || ! list->hasTagName ("PRESETS"))
    {
        showError (failed);
        return 0;
    }

    auto* contentManager = getContentManager();
    auto* product = list->getChildByName ("product");
    const auto productName = product != nullptr ? product->getStringAttribute ("name") : juce::String();
    const auto id = contentManager != nullptr ? contentManager->findProductIdByName (productName) : (juce::uint8) 255;
    const auto latest = contentManager != nullptr ? contentManager->getLatestFirmware (id) : FirmwareUpdateElement();
    const auto version = latest.getVersion();
    if (id == 255 || version.build <= 0 || contentManager->createDeviceCaps (id, version.build) == nullptr)
    {
        showError (failed);
        return 0;
    }

    const int answer = getDialogService().showMessageBox (
        DialogService::Icon::question, "Convert Preset Pack",
        "Convert the preset pack listed in " + location + "?",
        { "Start Conversion", "Cancel" }, nullptr);
    if (answer != 0)
        return 0;
    getDialogService().showMessageBox (
        DialogService::Icon::info, "Convert Preset Pack",
        "Converting preset pack for " + productName + ". For version: " + getVersionText (version),
        { "OK" }, nullptr);

    // Only the pack files of an earlier run are cleared out of the output folder.
    const auto output = (local ? juce::File (location).getParentDirectory()
                               : juce::File::getSpecialLocation (juce::File::tempDirectory)).getChildFile ("temp");
    if (output.isSymbolicLink() || (output.exists() && ! output.isDirectory()))
    {
        showError (failed);
        return 0;
    }
    for (auto& f : output.findChildFiles (juce::File::findFiles, false))
        if ((f.hasFileExtension ("xml") || f.hasFileExtension ("ard")) && ! f.isSymbolicLink())
            f.deleteFile();
    if (! output.createDirectory())
    {
        showError (failed);
        return 0;
    }

    int converted = 0, number = 0;
    for (auto* entry : list->getChildWithTagNameIterator ("archive"))
    {
        ++number;
        const auto title = entry->getChildByName ("title") != nullptr ? entry->getChildElementAllSubText ("title", {})
                                                                      : juce::String ("???");
        auto name = lastSegment (entry->getChildElementAllSubText ("dataURL", {}));
        if (name.isEmpty() || ! AppPaths::isUsableFolderName (name))
            name = "pack_" + juce::String (number);
        const auto outFile = output.getChildFile (name).withFileExtension ("xml");

        bool entryStopped = false;
        if (convertArchiveListEntry (*entry, id, version, outFile, content, &entryStopped))
            ++converted;
        else if (entryStopped)
        {
            // Cancelled, or the program quits: the rest is not converted, and nothing more is said.
            if (stopped != nullptr)
                *stopped = true;
            break;
        }
        else
            showError ("Failed to convert: " + title);
    }
    return converted;
}

void CloudPackList::convertPresetPackFolder (const ConversionContent* content)
{
    const auto folder = getDialogService().chooseFile (DialogService::ChooserMode::chooseFolder,
                                                       "Select Preset Source Folder", {}, {});
    if (folder == juce::File() || ! folder.isDirectory())
        return;

    for (auto& sub : subfoldersOf (folder))
    {
        const auto list = sub.getChildFile ("presets.xml");
        bool stopped = false;
        if (list.existsAsFile())
            convertPresetPack (list.getFullPathName(), content, &stopped);
        else
            showError ("Can't find: " + list.getFullPathName() + ". Skipping.");
        if (stopped)
            break;
    }
}
