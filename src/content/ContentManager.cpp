#include "content/ContentManager.h"
#include "model/AtomicFileWriter.h"
#include "model/DataLocation.h"
#include "content/ContentDownloadThread.h"
#include "content/ContentFiles.h"
#include "core/AppHost.h"
#include "core/AppPaths.h"
#include "core/DeviceInfoMessage.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "core/ThreadExit.h"
#include "model/DeviceCaps.h"
#include "model/NumberText.h"
#include <algorithm>

namespace
{
    const char* const descriptorFileName = "masterDescriptor.xml";

    // Bounds of what an unpacked preset pack may hold.
    constexpr int maximumPackEntries = 10000;
    constexpr juce::int64 maximumPackBytes = 512LL * 1024 * 1024;

    std::unique_ptr<ContentManager>& managerHolder()
    {
        static std::unique_ptr<ContentManager> holder;
        return holder;
    }

    // The instance whose records name the product folders (the one being built or in use).
    std::atomic<ContentManager*> namingInstance { nullptr };

    juce::CriticalSection installedFolderLock;
    juce::File& installedFolderOverride()
    {
        static juce::File folder;
        return folder;
    }

    juce::String childText (const juce::XmlElement* parent, const juce::String& name)
    {
        if (parent != nullptr)
            if (auto* child = parent->getChildByName (name))
                return child->getAllSubText().trim();
        return {};
    }

    bool readFlag (const juce::String& text)
    {
        const auto c = text.trimStart()[0];
        return c == '1' || c == 't' || c == 'T' || c == 'y' || c == 'Y';
    }

    // A product id must be a plain decimal SysEx data byte.
    int parseProductId (const juce::XmlElement& product)
    {
        const auto text = product.getStringAttribute ("sysexId").trim();
        if (text.isEmpty() || text.length() > 3 || ! text.containsOnly ("0123456789"))
            return -1;
        const int id = text.getIntValue();
        return id >= 0 && id <= 127 ? id : -1;
    }

    juce::String websitePath (const char* path)
    {
        return WebRoot::getDefaultRoot() + path;
    }

    bool startsWithF0 (const juce::File& file)
    {
        juce::FileInputStream in (file);
        return in.openedOk() && in.getTotalLength() > 0 && (juce::uint8) in.readByte() == 0xF0;
    }

    bool isNonEmptyFile (const juce::String& path)
    {
        if (path.isEmpty() || ! juce::File::isAbsolutePath (path))
            return false;
        const juce::File f (path);
        return f.existsAsFile() && f.getSize() > 0;
    }

    std::unique_ptr<DeviceCaps> capsFromDocument (const juce::XmlElement& caps, juce::uint8 productId, int build)
    {
        const juce::XmlElement* baseFeatures = nullptr;
        if (auto* base = caps.getChildByName ("baseDefinition"))
            baseFeatures = base->getChildByName ("features");

        for (auto* profile : caps.getChildWithTagNameIterator ("buildProfile"))
        {
            auto* range = profile->getChildByName ("range");
            if (range == nullptr)
                continue;
            const int start = range->getIntAttribute ("start", 0);
            int end = range->getIntAttribute ("end", 0);
            if (end == -1)
                end = juce::jmax (build, start);
            if (build >= start && build <= end)
                return std::make_unique<DeviceCaps> (baseFeatures, profile->getChildByName ("features"),
                                                     productId, start, end);
        }
        return std::make_unique<DeviceCaps> (baseFeatures, nullptr, productId, 0, 0);
    }

    std::unique_ptr<DeviceCaps> capsForDataVersion (const juce::XmlElement& caps, juce::uint8 productId,
                                                    const char* key, int version)
    {
        const juce::XmlElement* baseFeatures = nullptr;
        if (auto* base = caps.getChildByName ("baseDefinition"))
            baseFeatures = base->getChildByName ("features");
        const int baseValue = baseFeatures != nullptr && baseFeatures->hasAttribute (key)
                                ? NumberText::parseLeadingInt (baseFeatures->getStringAttribute (key)) : 0;

        for (auto* profile : caps.getChildWithTagNameIterator ("buildProfile"))
        {
            auto* range = profile->getChildByName ("range");
            if (range == nullptr)
                continue;
            auto* features = profile->getChildByName ("features");
            const bool own = features != nullptr && features->hasAttribute (key);
            const int value = own ? NumberText::parseLeadingInt (features->getStringAttribute (key)) : 0;
            if ((own && value == version) || (! own && baseValue == version))
            {
                const int start = range->getIntAttribute ("start", 0);
                int end = range->getIntAttribute ("end", 0);
                if (end == -1)
                    end = start;
                return std::make_unique<DeviceCaps> (baseFeatures, features, productId, start, end);
            }
        }
        return std::make_unique<DeviceCaps> (baseFeatures, nullptr, productId, 0, 0);
    }
}

//==============================================================================
ContentManager* getContentManager()
{
    return managerHolder().get();
}

void setContentManager (ContentManager* manager)
{
    auto old = std::move (managerHolder());
    managerHolder().reset (manager);
    old.reset();
}

void postInfoToHub (int code, int p1, int p2, const juce::String& text)
{
    if (auto* host = getAppHost())
        if (auto* hub = host->getHubListener())
            hub->postMessage (new DeviceInfoMessage (code, p1, p2, text));
}

void postContentStatusText (const juce::String& text)
{
    postInfoToHub (InfoCode::contentStatusText, 0, 0, text);
}

juce::int64 parseIsoDateTime (const juce::String& text)
{
    juce::StringArray tokens;
    tokens.addTokens (text, "-T:Z", {});

    auto token = [&tokens] (int i) { return i < tokens.size() ? tokens[i].trim().getIntValue() : 0; };
    const int year = token (0);

    if (year < 2000 || year > 3000)
        return juce::Time::currentTimeMillis();

    const juce::Time t (year, token (1) - 1, token (2), token (3), token (4), token (5), 0, false);
    return t.toMilliseconds();
}

bool isXmlElementWithTag (const juce::XmlElement* element, const juce::String& tag)
{
    return element != nullptr && element->getTagName() == tag;
}

juce::Image createDefaultProductImage()
{
    juce::Image image (juce::Image::ARGB, 153, 152, true);
    juce::Graphics g (image);

    // A front view of a small desktop unit: body, display, two knobs and a row of keys.
    const juce::Rectangle<float> body (8.0f, 34.0f, 137.0f, 84.0f);
    g.setColour (juce::Colour (0xff2b2f36));
    g.fillRoundedRectangle (body, 10.0f);
    g.setColour (juce::Colour (0xff5b6270));
    g.drawRoundedRectangle (body.reduced (1.0f), 10.0f, 2.0f);

    g.setColour (juce::Colour (0xff7fd3c6));
    g.fillRoundedRectangle ({ 20.0f, 46.0f, 62.0f, 24.0f }, 3.0f);
    g.setColour (juce::Colour (0xff2b2f36));
    for (int i = 0; i < 4; ++i)
        g.fillRect (26.0f + (float) i * 13.0f, 54.0f, 8.0f, 8.0f);

    for (int i = 0; i < 2; ++i)
    {
        const float cx = 102.0f + (float) i * 26.0f, cy = 58.0f;
        g.setColour (juce::Colour (0xffc9ced6));
        g.fillEllipse (cx - 10.0f, cy - 10.0f, 20.0f, 20.0f);
        g.setColour (juce::Colour (0xff2b2f36));
        g.drawLine (cx, cy, cx, cy - 9.0f, 2.5f);
    }

    for (int i = 0; i < 5; ++i)
    {
        g.setColour (i == 0 ? juce::Colour (0xffe8744f) : juce::Colour (0xff8a919e));
        g.fillRoundedRectangle (20.0f + (float) i * 24.0f, 86.0f, 18.0f, 18.0f, 3.0f);
    }
    return image;
}

//==============================================================================
juce::File ContentManager::getInstalledContentFolder()
{
    {
        const juce::ScopedLock sl (installedFolderLock);
        if (installedFolderOverride() != juce::File())
            return installedFolderOverride();
    }
    return juce::File::getSpecialLocation (juce::File::currentExecutableFile)
               .getParentDirectory().getChildFile ("Content");
}

void ContentManager::setInstalledContentFolder (const juce::File& folder)
{
    const juce::ScopedLock sl (installedFolderLock);
    installedFolderOverride() = folder;
}

ContentManager::Links ContentManager::makeDefaultLinks()
{
    Links l;
    l.account = websitePath ("/account") + "?" + "agent=larkspire";
    l.productSupport = websitePath ("/products/larkspire/support/");
    l.generalSupport = websitePath ("/support");
    l.manual = websitePath ("/support/manuals/");
    l.defaultManual = websitePath ("/support/manuals/");
    l.connectionFaq = websitePath ("/support");
    return l;
}

ContentManager::ContentManager()
    : links (makeDefaultLinks())
{
    static const bool lookupInstalled = []
    {
        AppPaths::setProductNameLookup ([] (juce::uint8 id)
        {
            auto* cm = namingInstance.load();
            if (cm == nullptr)
                cm = getContentManager();
            return cm != nullptr ? cm->getProductName (id) : juce::String();
        });
        // Data files named by a web address (preset packs, online archives) open through the web helpers.
        DataLocation::setOpener ([] (const juce::String& location) { return openWebStream (location); });
        return true;
    }();
    juce::ignoreUnused (lookupInstalled);
    namingInstance.store (this);

    reset();
    defaultProductImage = createDefaultProductImage();

    // Without a copy on disk the descriptor may still come from the web: the fatal error
    // waits for the fetch (loadControlDescriptor).
    const bool parsed = parseControlDescriptor();
    if (parsed)
        seedProductFolders();
    else if (! fetching.load())
        appRaiseFatalError (1);
}

ContentManager::~ContentManager()
{
    reset();
    auto* self = this;
    namingInstance.compare_exchange_strong (self, nullptr);
}

//==============================================================================
// Fetches the web copy of the descriptor (and a developer override named by a web address)
// and hands them to the message thread.
class ContentManager::DescriptorFetch : public juce::Thread
{
public:
    DescriptorFetch (ContentManager& o, int g, const juce::String& web, const juce::String& developer)
        : juce::Thread ("Descriptor Fetch"), owner (o), generation (g), webAddress (web), developerAddress (developer)
    {
    }

    ~DescriptorFetch() override { stopThread (ContentDownloadThread::stopTimeoutMs); }

    void run() override;

private:
    ContentManager& owner;
    const int generation;
    const juce::String webAddress, developerAddress;
};

struct ContentManager::FetchedDescriptor : juce::Message
{
    int generation = 0;
    std::unique_ptr<juce::XmlElement> web, developerCopy;
};

void ContentManager::DescriptorFetch::run()
{
    auto message = std::make_unique<FetchedDescriptor>();
    message->generation = generation;
    message->web = loadXmlFromAddress (webAddress, &owner.bytesFetched, true, this);
    if (developerAddress.isNotEmpty() && ! threadShouldExit())
        message->developerCopy = loadXmlFromWeb (&owner.bytesFetched, developerAddress, this);

    if (! threadShouldExit())
        owner.fetchReceiver.postMessage (message.release());
}

void ContentManager::FetchReceiver::handleMessage (const juce::Message& message)
{
    auto* fetched = dynamic_cast<const FetchedDescriptor*> (&message);
    if (fetched == nullptr || fetched->generation != owner.fetchGeneration || ! owner.fetching.load())
        return;   // a fetch that a reload replaced

    auto& mutableFetched = const_cast<FetchedDescriptor&> (*fetched);
    owner.takeFetchedDescriptor (std::move (mutableFetched.web), std::move (mutableFetched.developerCopy));
}

void ContentManager::startDescriptorFetch (const juce::String& developerWebAddress)
{
    fetching.store (true);
    descriptorFetch = std::make_unique<DescriptorFetch> (*this, ++fetchGeneration,
                                                         WebRoot::getContentBase() + "/" + descriptorFileName,
                                                         developerWebAddress);
    descriptorFetch->startThread();
}

void ContentManager::callWhenDescriptorFetched (std::function<void()> callback)
{
    if (callback == nullptr)
        return;
    if (fetching.load())
        fetchCallbacks.push_back (std::move (callback));
    else
        callback();
}

void ContentManager::startDownloadThread()
{
    if (downloadThread != nullptr)
        return;
    downloadThread = std::make_unique<ContentDownloadThread> (*this);
    downloadThread->startThread();
    downloader.store (downloadThread.get());
}

void ContentManager::takeFetchedDescriptor (std::unique_ptr<juce::XmlElement> web,
                                            std::unique_ptr<juce::XmlElement> developerCopy)
{
    const auto rootTag = ContentType::getRootTag (ContentType::controlDescriptor);
    const bool arrived = isXmlElementWithTag (web.get(), rootTag);

    // A developer override stays in force; otherwise the web copy replaces the one from disk
    // and is written back.
    std::unique_ptr<juce::XmlElement> replacement;
    bool writeBack = false;
    if (! developerCopyInForce && isXmlElementWithTag (developerCopy.get(), rootTag))
    {
        replacement = std::move (developerCopy);
        developerCopyInForce = true;
    }
    else if (! developerCopyInForce && arrived)
    {
        replacement = std::move (web);
        writeBack = true;
    }

    const juce::File storedFile (AppPaths::join (AppPaths::getApplicationDataFolder(), descriptorFileName));
    if (writeBack && storedFile.getParentDirectory().createDirectory())
    {
        juce::XmlElement::TextFormat format;
        format.customEncoding = "UTF-8";
        AtomicFileWriter::replaceWithXml (storedFile, *replacement, format);
    }

    if (replacement != nullptr)
    {
        {
            // Records of products that stay keep what was loaded for them from disk.
            const juce::ScopedLock sl (lock);
            juce::OwnedArray<ProductInfo> previous (std::move (products));
            auto previousDescriptor = std::move (activeDescriptor);
            activeDescriptor = std::move (replacement);
            buildRecords (previous);
        }
        seedProductFolders();
    }

    juce::Array<juce::uint8> wanted;
    {
        const juce::ScopedLock sl (lock);
        wanted.swapWith (wantedOnline);
    }

    if (! hasControlDescriptor())
    {
        appRaiseFatalError (2);
    }
    else if (arrived)
    {
        startDownloadThread();
        online.store (true);

        // What was read from disk while the fetch ran is brought up to date now.
        for (auto id : wanted)
            if (findProductIndex (id) >= 0)
                downloadThread->queueProduct (id, true);
    }

    fetching.store (false);
    auto callbacks = std::move (fetchCallbacks);
    fetchCallbacks.clear();
    for (auto& callback : callbacks)
        callback();
}

void ContentManager::reset()
{
    descriptorFetch.reset();
    fetching.store (false);

    downloader.store (nullptr);
    if (downloadThread != nullptr)
    {
        downloadThread->stopThread (ContentDownloadThread::stopTimeoutMs);
        downloadThread.reset();
    }

    const juce::ScopedLock sl (lock);
    online.store (false);
    activeDescriptor.reset();
    links = makeDefaultLinks();
    products.clear();
    wantedOnline.clear();
}

bool ContentManager::hasControlDescriptor() const
{
    const juce::ScopedLock sl (lock);
    return activeDescriptor != nullptr;
}

void ContentManager::loadControlDescriptor()
{
    reset();

    const auto rootTag = ContentType::getRootTag (ContentType::controlDescriptor);
    const juce::File storedFile (AppPaths::join (AppPaths::getApplicationDataFolder(), descriptorFileName));

    std::unique_ptr<juce::XmlElement> active;
    juce::String developerWebAddress;
    developerCopyInForce = false;

    // A developer override is read as a file here; one named by a web address comes with the
    // web copy.
    if (appIsDeveloper())
    {
        const auto uri = getSettingText (SettingsKeys::developerControlDescriptorUri, {}).trim();
        auto developerCopy = loadXmlDocument (&bytesFetched, uri);
        if (isXmlElementWithTag (developerCopy.get(), rootTag))
        {
            active = std::move (developerCopy);
            developerCopyInForce = true;
        }
        else if (isWebTransferAddress (uri))
        {
            developerWebAddress = uri;
        }
    }

    if (active == nullptr)
    {
        active = loadXmlDocument (&bytesFetched, storedFile.getFullPathName());
        if (! isXmlElementWithTag (active.get(), rootTag))
            active.reset();
    }

    if (active == nullptr)
    {
        const auto installed = getInstalledContentFolder().getChildFile (descriptorFileName);
        if (installed.existsAsFile())
        {
            juce::MemoryBlock data;
            if (installed.loadFileAsData (data) && storedFile.getParentDirectory().createDirectory()
                && replaceFileWithData (storedFile, data.getData(), data.getSize()))
                active = loadXmlDocument (&bytesFetched, storedFile.getFullPathName());

            // When the copy could not be made, the installed file is read where it lies.
            if (! isXmlElementWithTag (active.get(), rootTag))
                active = loadXmlDocument (&bytesFetched, installed.getFullPathName());

            if (! isXmlElementWithTag (active.get(), rootTag))
                active.reset();
        }
    }

    {
        const juce::ScopedLock sl (lock);
        activeDescriptor = std::move (active);
    }

    startDescriptorFetch (developerWebAddress);
}

bool ContentManager::parseControlDescriptor()
{
    loadControlDescriptor();

    const juce::ScopedLock sl (lock);
    juce::OwnedArray<ProductInfo> none;
    return buildRecords (none);
}

bool ContentManager::buildRecords (juce::OwnedArray<ProductInfo>& previous)
{
    if (activeDescriptor == nullptr)
        return false;

    auto* app = activeDescriptor->getChildByName ("larkSpire");
    Links l = makeDefaultLinks();

    if (app != nullptr)
    {
        if (childText (app, "latestBuildNo").getIntValue() > programBuildNumber)
        {
            l.latestBuildInfo = childText (app, "latestBuildInfo");
            l.updateAddress = childText (app, "updateUrlPc");
        }

        auto linkOr = [app] (const char* name, const juce::String& fallback)
        {
            return app->getChildByName (name) != nullptr ? childText (app, name) : fallback;
        };

        l.account = linkOr ("linkUserAccount", websitePath ("/account")) + "?" + "agent=larkspire";
        l.productSupport = linkOr ("linkAppSupport", l.productSupport);
        l.generalSupport = linkOr ("linkGeneralSupport", l.generalSupport);
        l.manual = linkOr ("linkAppManual", l.manual);
        l.defaultManual = linkOr ("linkManualDefault", l.defaultManual);
        l.connectionFaq = linkOr ("linkConnectionFAQ", l.connectionFaq);
    }
    links = l;

    if (auto* devices = activeDescriptor->getChildByName ("devices"))
    {
        for (auto* product : devices->getChildWithTagNameIterator ("product"))
        {
            const auto name = product->getStringAttribute ("name");
            const int id = parseProductId (*product);

            // A product without a usable name or id cannot have a folder or be identified.
            if (id < 0 || ! AppPaths::isUsableFolderName (name))
                continue;

            auto record = std::make_unique<ProductInfo>();
            record->element = product;
            record->pubDate = parseIsoDateTime (childText (product, "pubDate"));
            record->name = name;
            record->sysexId = (juce::uint8) id;
            record->allVersSupportGenSyxID = product->hasAttribute ("allVersSupportGenSyxID")
                                             && readFlag (product->getStringAttribute ("allVersSupportGenSyxID"));
            record->caps = childText (product, "caps");
            record->firmwareUpdate = childText (product, "firmwareUpdate");
            record->conversionRules = childText (product, "conversionRules");
            record->onlinePresets = childText (product, "onlinePresets");
            record->manual = childText (product, "manual");
            if (record->manual.isEmpty())
                record->manual = links.defaultManual;

            for (auto* before : previous)
            {
                if (before->sysexId != record->sysexId || before->name != record->name)
                    continue;
                record->synced = before->synced;
                record->lastSyncTime = before->lastSyncTime;
                record->capsXml = before->capsXml;
                record->firmwareXml = before->firmwareXml;
                record->rulesXml = before->rulesXml;
                record->firmwareList = before->firmwareList;
                record->conversionRuleList = before->conversionRuleList;
                record->variantImages = before->variantImages;
                record->variantIconAddresses = before->variantIconAddresses;
                record->variantImageIndex = before->variantImageIndex;
                break;
            }
            products.add (record.release());
        }
    }
    return true;
}

void ContentManager::seedProductFolders()
{
    const auto installed = getInstalledContentFolder();
    if (! installed.isDirectory())
        return;

    for (auto id : getProductIds())
    {
        const auto source = installed.getChildFile (getProductName (id));
        const auto folder = AppPaths::getProductFolder (id);
        if (! source.isDirectory() || folder.isEmpty())
            continue;

        const juce::File target (folder);
        if (! target.createDirectory())
            continue;

        for (const auto& file : source.findChildFiles (juce::File::findFiles, false, "*.xml"))
        {
            const auto copy = target.getChildFile (file.getFileName());
            if (copy.exists())
                continue;   // never overwritten: it may be newer content from the web

            juce::MemoryBlock data;
            if (file.loadFileAsData (data))
                replaceFileWithData (copy, data.getData(), data.getSize());
        }
    }
}

//==============================================================================
ProductInfo* ContentManager::findRecord (juce::uint8 productId) const
{
    for (auto* p : products)
        if (p->sysexId == productId)
            return p;
    return nullptr;
}

juce::Array<juce::uint8> ContentManager::getProductIds() const
{
    const juce::ScopedLock sl (lock);
    juce::Array<juce::uint8> ids;
    for (auto* p : products)
        ids.add (p->sysexId);
    return ids;
}

int ContentManager::findProductIndex (juce::uint8 productId) const
{
    const juce::ScopedLock sl (lock);
    for (int i = 0; i < products.size(); ++i)
        if (products[i]->sysexId == productId)
            return i;
    return -1;
}

juce::uint8 ContentManager::findProductIdByName (const juce::String& name) const
{
    const juce::ScopedLock sl (lock);
    for (auto* p : products)
        if (p->name == name)
            return p->sysexId;
    return 255;
}

juce::String ContentManager::getProductName (juce::uint8 productId) const
{
    const juce::ScopedLock sl (lock);
    auto* p = findRecord (productId);
    return p != nullptr ? p->name : juce::String();
}

bool ContentManager::getAllVersSupportGenSyxID (juce::uint8 productId) const
{
    const juce::ScopedLock sl (lock);
    auto* p = findRecord (productId);
    return p != nullptr && p->allVersSupportGenSyxID;
}

juce::Image ContentManager::getProductImage (juce::uint8 productId, const juce::String& variantDisplayName) const
{
    const juce::ScopedLock sl (lock);
    auto* p = findRecord (productId);
    if (p == nullptr || p->variantImages.isEmpty())
        return defaultProductImage;

    int index = 0;
    auto it = p->variantImageIndex.find (variantDisplayName);
    if (it != p->variantImageIndex.end())
        index = it->second.getIntValue();
    if (! juce::isPositiveAndBelow (index, p->variantImages.size()))
        index = 0;

    const auto& image = p->variantImages.getReference (index);
    return image.isValid() ? image : defaultProductImage;
}

juce::String ContentManager::getManualUrl (juce::uint8 productId) const
{
    const juce::ScopedLock sl (lock);
    auto* p = findRecord (productId);
    return p != nullptr ? p->manual : links.defaultManual;
}

bool ContentManager::isProductSynced (juce::uint8 productId) const
{
    const juce::ScopedLock sl (lock);
    auto* p = findRecord (productId);
    return p != nullptr && p->synced;
}

juce::int64 ContentManager::getLastSyncTime (juce::uint8 productId) const
{
    const juce::ScopedLock sl (lock);
    auto* p = findRecord (productId);
    return p != nullptr ? p->lastSyncTime : 0;
}

juce::String ContentManager::getAccountLink() const        { const juce::ScopedLock sl (lock); return links.account; }
juce::String ContentManager::getProductSupportLink() const { const juce::ScopedLock sl (lock); return links.productSupport; }
juce::String ContentManager::getGeneralSupportLink() const { const juce::ScopedLock sl (lock); return links.generalSupport; }
juce::String ContentManager::getManualLink() const         { const juce::ScopedLock sl (lock); return links.manual; }
juce::String ContentManager::getDefaultManualLink() const  { const juce::ScopedLock sl (lock); return links.defaultManual; }
juce::String ContentManager::getConnectionFaqLink() const  { const juce::ScopedLock sl (lock); return links.connectionFaq; }
juce::String ContentManager::getLatestBuildInfo() const    { const juce::ScopedLock sl (lock); return links.latestBuildInfo; }
juce::String ContentManager::getUpdateAddress() const      { const juce::ScopedLock sl (lock); return links.updateAddress; }

//==============================================================================
juce::String ContentManager::getContentAddress (juce::uint8 productId, int type, int index) const
{
    const juce::ScopedLock sl (lock);
    auto* p = findRecord (productId);
    if (p == nullptr)
        return {};

    switch (type)
    {
        case ContentType::variantIcon:     return p->variantIconAddresses[index];
        case ContentType::caps:            return p->caps;
        case ContentType::firmwareList:    return p->firmwareUpdate;
        case ContentType::conversionRules: return p->conversionRules;
        case ContentType::presetPacks:     return p->onlinePresets;
        default:                           return {};
    }
}

juce::String ContentManager::getContentFile (juce::uint8 productId, int type, int index, bool createFolder) const
{
    const auto address = getContentAddress (productId, type, index);
    if (address.isEmpty())
        return {};

    const auto folder = type == ContentType::presetPacks ? AppPaths::getPacksFolder (productId)
                                                         : AppPaths::getProductFolder (productId);
    const auto path = ContentFiles::fileInFolder (folder, address);
    if (createFolder && path.isNotEmpty())
        juce::File (folder).createDirectory();
    return path;
}

ContentXml ContentManager::loadContent (juce::uint8 productId, int type, bool reload)
{
    if (type != ContentType::caps && type != ContentType::firmwareList && type != ContentType::conversionRules)
        return {};

    auto slotOf = [type] (ProductInfo& p) -> ContentXml&
    {
        return type == ContentType::caps ? p.capsXml
             : type == ContentType::firmwareList ? p.firmwareXml : p.rulesXml;
    };

    {
        const juce::ScopedLock sl (lock);
        auto* p = findRecord (productId);
        if (p == nullptr)
            return {};
        if (! reload && slotOf (*p) != nullptr)
            return slotOf (*p);
    }

    auto xml = loadXmlDocument (&bytesFetched, getContentFile (productId, type, 0, false));

    const juce::ScopedLock sl (lock);
    auto* p = findRecord (productId);
    if (p == nullptr)
        return {};
    if (isXmlElementWithTag (xml.get(), ContentType::getRootTag (type)))
        slotOf (*p) = ContentXml (xml.release());
    return slotOf (*p);
}

juce::String ContentManager::getDescriptorKey (juce::uint8 productId, int type) const
{
    const juce::ScopedLock sl (lock);
    auto* p = findRecord (productId);
    const auto keyName = ContentType::getKeyName (type);
    if (p == nullptr || keyName.isEmpty())
        return {};
    return childText (p->element, keyName);
}

bool ContentManager::isContentCurrent (juce::uint8 productId, int type)
{
    const auto descriptorKey = getDescriptorKey (productId, type);
    if (descriptorKey.isEmpty())
        return false;

    auto local = loadContent (productId, type, false);
    return local != nullptr && childText (local.get(), ContentType::getKeyName (type)) == descriptorKey;
}

juce::String ContentManager::readPackKey (const juce::String& packsFolder)
{
    if (packsFolder.isEmpty())
        return {};
    const auto keyFile = juce::File (packsFolder).getChildFile (packKeyFileName);
    return keyFile.existsAsFile() ? keyFile.loadFileAsString().trim() : juce::String();
}

bool ContentManager::isPresetPackListCurrent (juce::uint8 productId) const
{
    // The key is the one of the pack actually unpacked, kept beside it, so that a run
    // that stopped before the new pack was in place fetches it next time.
    const auto activeKey = getDescriptorKey (productId, ContentType::presetPacks);
    return activeKey.isNotEmpty() && readPackKey (AppPaths::getPacksFolder (productId)) == activeKey;
}

bool ContentManager::areContentFilesPresent (juce::uint8 productId, int type)
{
    switch (type)
    {
        case ContentType::firmwareList:
        {
            juce::Array<FirmwareUpdateElement> list;
            {
                const juce::ScopedLock sl (lock);
                auto* p = findRecord (productId);
                if (p == nullptr)
                    return false;
                list = p->firmwareList;
            }
            for (auto& e : list)
            {
                if (e.getStatus() == FirmwareUpdateElement::statusExpired
                    || e.getStatus() == FirmwareUpdateElement::statusRevoked)
                    continue;
                if (! isNonEmptyFile (e.getImageFile()) || ! startsWithF0 (juce::File (e.getImageFile())))
                    return false;
            }
            return true;
        }

        case ContentType::conversionRules:
        {
            juce::Array<ConversionRuleInfo> rules;
            {
                const juce::ScopedLock sl (lock);
                auto* p = findRecord (productId);
                if (p == nullptr)
                    return false;
                rules = p->conversionRuleList;
            }
            for (auto& r : rules)
                if (! isNonEmptyFile (r.scriptFile))
                    return false;
            return true;
        }

        case ContentType::presetPacks:
        {
            const auto path = getContentFile (productId, ContentType::presetPacks, 0, false);
            if (! isNonEmptyFile (path))
                return false;
            juce::ZipFile zip (juce::File { path });
            return zip.getNumEntries() > 0;
        }

        default:
            return false;
    }
}

bool ContentManager::parseContentLists (juce::uint8 productId, int type)
{
    auto xml = loadContent (productId, type, false);
    if (! isXmlElementWithTag (xml.get(), ContentType::getRootTag (type)))
        return false;

    bool result = true;

    if (type == ContentType::caps)
    {
        juce::StringArray icons;
        std::map<juce::String, juce::String> index;
        if (auto* variants = xml->getChildByName ("productVariants"))
        {
            for (auto* range : variants->getChildWithTagNameIterator ("range"))
            {
                index[range->getStringAttribute ("displayName")] = juce::String (icons.size());
                icons.add (range->getStringAttribute ("iconUrl"));
            }
        }

        const juce::ScopedLock sl (lock);
        if (auto* p = findRecord (productId))
        {
            p->variantIconAddresses = icons;
            p->variantImageIndex = std::move (index);
        }
    }
    else if (type == ContentType::firmwareList)
    {
        const auto folder = AppPaths::getFirmwareFolder (productId);
        juce::Array<FirmwareUpdateElement> list;
        for (auto* entry : xml->getChildWithTagNameIterator ("firmwareUpdate"))
        {
            FirmwareUpdateElement element (*entry, folder);
            if (element.getStatus() == FirmwareUpdateElement::statusUnknown)
                result = false;
            else
                list.add (element);
        }
        std::stable_sort (list.begin(), list.end(), [] (const FirmwareUpdateElement& a, const FirmwareUpdateElement& b)
        {
            return a.getBuild() > b.getBuild();
        });

        const juce::ScopedLock sl (lock);
        if (auto* p = findRecord (productId))
            p->firmwareList = list;
    }
    else if (type == ContentType::conversionRules)
    {
        const auto folder = AppPaths::getScriptFolder (productId);
        juce::Array<ConversionRuleInfo> rules;
        for (auto* child : xml->getChildIterator())
        {
            if (! child->hasAttribute ("script"))
                continue;
            const auto targetName = child->getStringAttribute ("name");
            const bool named = targetName.isNotEmpty();
            auto rule = ConversionRuleInfo::fromXml (*child, productId,
                                                     named ? findProductIdByName (targetName) : (juce::uint8) 255,
                                                     named, folder);
            if (rule.kind == ConversionRuleInfo::invalid)
                result = false;
            else
                rules.add (rule);
        }

        const juce::ScopedLock sl (lock);
        if (auto* p = findRecord (productId))
            p->conversionRuleList = rules;
    }
    else
    {
        return false;
    }

    return result;
}

bool ContentManager::downloadContentXml (juce::uint8 productId, int type, juce::Thread* thread)
{
    const auto address = getContentAddress (productId, type, 0);
    const auto path = getContentFile (productId, type, 0, true);
    if (address.isEmpty() || path.isEmpty())
        return false;

    juce::MemoryBlock data;
    if (! readWebStreamToMemory (address, data, &bytesFetched, thread) || data.isEmpty())
        return false;

    // Only content of the right kind replaces the stored copy.
    auto xml = juce::parseXML (data.toString());
    if (! isXmlElementWithTag (xml.get(), ContentType::getRootTag (type)))
        return false;

    return replaceFileWithData (juce::File (path), data.getData(), data.getSize());
}

void ContentManager::rebuildVariantImages (juce::uint8 productId, bool download, bool forceDownload, bool& result)
{
    juce::StringArray icons;
    {
        const juce::ScopedLock sl (lock);
        auto* p = findRecord (productId);
        if (p == nullptr)
            return;
        icons = p->variantIconAddresses;
    }

    juce::Array<juce::Image> images;
    for (int i = 0; i < icons.size(); ++i)
    {
        const auto path = getContentFile (productId, ContentType::variantIcon, i, download);
        if (download && path.isNotEmpty() && (forceDownload || ! juce::File (path).exists()))
            result = downloadToFile (icons[i], path, true, &bytesFetched, nullptr) && result;

        juce::Image image;
        if (path.isNotEmpty() && juce::File (path).existsAsFile())
            image = juce::ImageFileFormat::loadFrom (juce::File (path));
        images.add (image.isValid() ? image : defaultProductImage);
    }

    const juce::ScopedLock sl (lock);
    if (auto* p = findRecord (productId))
        p->variantImages = images;
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
        result = downloadContentXml (productId, ContentType::caps, nullptr);
        if (result)
            loadContent (productId, ContentType::caps, true);
    }

    result = parseContentLists (productId, ContentType::caps) && result;
    rebuildVariantImages (productId, true, ! capsCurrent, result);
    return result;
}

bool ContentManager::loadStoredContent (juce::uint8 productId)
{
    {
        const juce::ScopedLock sl (lock);
        if (fetching.load())
            wantedOnline.addIfNotAlreadyThere (productId);   // brought up to date if the web copy comes
        if (activeDescriptor == nullptr || findRecord (productId) == nullptr)
            return false;
    }

    const auto folder = AppPaths::getProductFolder (productId);
    if (folder.isEmpty() || ! juce::File (folder).isDirectory())
        return false;

    bool result = true;
    for (int type : { (int) ContentType::caps, (int) ContentType::firmwareList, (int) ContentType::conversionRules })
        if (getContentAddress (productId, type, 0).isNotEmpty())
            result = parseContentLists (productId, type) && result;

    bool images = true;
    rebuildVariantImages (productId, false, false, images);
    return result;
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

bool ContentManager::syncProduct (juce::uint8 productId, juce::Thread* thread)
{
    juce::String name;
    {
        const juce::ScopedLock sl (lock);
        auto* p = findRecord (productId);
        if (p == nullptr || activeDescriptor == nullptr || thread == nullptr)
            return false;
        p->synced = false;
        name = p->name;
    }
    if (! online.load())
        return false;

    bool result = true;

    // Firmware list and images, then rule list and scripts: each only when the product has one.
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
            const bool downloaded = downloadContentXml (productId, step.type, thread);
            result = downloaded && result;
            if (downloaded)
                loadContent (productId, step.type, true);
        }

        if (thread->threadShouldExit())
            continue;

        result = parseContentLists (productId, step.type) && result;
        if (! (current && areContentFilesPresent (productId, step.type)))
            result = (step.type == ContentType::firmwareList ? downloadFirmwareImages (productId, thread)
                                                             : downloadRuleScripts (productId, thread))
                     && result;
    }

    if (getContentAddress (productId, ContentType::presetPacks, 0).isNotEmpty())
    {
        postContentStatusText (name + ": preset packs");
        if (thread->threadShouldExit())
            result = false;
        else if (! (isPresetPackListCurrent (productId) && areContentFilesPresent (productId, ContentType::presetPacks)))
            result = downloadPresetPacks (productId, thread) && result;
    }

    // A synchronisation cut short by an exit request is never complete.
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
    const juce::File file (entry.getImageFile());
    const bool valid = file.existsAsFile() && file.getSize() > 0 && startsWithF0 (file);
    if (valid)
        return true;   // not forced: a good image is kept; a damaged one is fetched again

    juce::MemoryBlock data;
    if (! readWebStreamToMemory (entry.getLink(), data, &bytesFetched, thread) || data.isEmpty())
        return false;

    if (static_cast<const juce::uint8*> (data.getData())[0] != 0xF0)
        return false;   // not a SysEx image: the old file (if any) stays

    return replaceFileWithData (file, data.getData(), data.getSize());
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
    {
        const juce::ScopedLock sl (lock);
        auto* p = findRecord (productId);
        if (p == nullptr)
            return false;
        list = p->firmwareList;
    }

    const bool developer = appIsDeveloper();
    bool result = true;

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

        if (! downloadFirmwareImage (entry, thread))
        {
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

//==============================================================================
ContentXml ContentManager::getCapsXml (juce::uint8 productId) const
{
    const juce::ScopedLock sl (lock);
    auto* p = findRecord (productId);
    return p != nullptr ? p->capsXml : ContentXml();
}

std::unique_ptr<DeviceCaps> ContentManager::createDeviceCaps (juce::uint8 productId, int build, juce::String* refusal) const
{
    auto caps = getCapsXml (productId);
    if (caps == nullptr)
        return {};
    return DeviceCaps::refuseUnstorable (capsFromDocument (*caps, productId, build), refusal);
}

std::unique_ptr<DeviceCaps> ContentManager::createDeviceCapsForDataVersion (juce::uint8 productId, int kind,
                                                                             int version) const
{
    const char* key = kind == 1 ? "presetVersion" : (kind == 2 ? "setupVersion" : nullptr);
    if (key == nullptr)
        return {};
    auto caps = getCapsXml (productId);
    if (caps == nullptr)
        return {};
    return DeviceCaps::refuseUnstorable (capsForDataVersion (*caps, productId, key, version));
}

juce::Array<ConversionRuleInfo> ContentManager::getConversionRules (juce::uint8 productId, int kind) const
{
    juce::Array<ConversionRuleInfo> all;
    {
        const juce::ScopedLock sl (lock);
        if (auto* p = findRecord (productId))
            all = p->conversionRuleList;
    }

    juce::Array<ConversionRuleInfo> result;
    for (auto& r : all)
        if (r.kind == kind && r.kind != ConversionRuleInfo::invalid && r.sourceVersion >= 0 && r.targetVersion >= 0
            && r.targetProductId != 255 && isNonEmptyFile (r.scriptFile))
            result.add (r);
    return result;
}

juce::Array<FirmwareUpdateElement> ContentManager::getFirmwareList (juce::uint8 productId) const
{
    juce::Array<FirmwareUpdateElement> all;
    {
        const juce::ScopedLock sl (lock);
        if (auto* p = findRecord (productId))
            all = p->firmwareList;
    }

    const bool developer = appIsDeveloper();
    juce::Array<FirmwareUpdateElement> result;
    for (auto& e : all)
    {
        const bool prerelease = e.getStatus() == FirmwareUpdateElement::statusBeta
                             || e.getStatus() == FirmwareUpdateElement::statusAlpha;
        if (e.isUsable() && (developer || ! prerelease))
            result.add (e);
    }
    return result;
}

bool ContentManager::isFirmwareUpdateAvailable (juce::uint8 productId, int build) const
{
    for (auto& e : getFirmwareList (productId))
        if (e.getBuild() > build)
            return true;
    return false;
}

FirmwareUpdateElement ContentManager::getLatestFirmware (juce::uint8 productId) const
{
    const auto list = getFirmwareList (productId);
    int best = -1;
    for (int i = 0; i < list.size(); ++i)
        if (best < 0 || list.getReference (i).getBuild() > list.getReference (best).getBuild())
            best = i;
    return best >= 0 ? list[best] : FirmwareUpdateElement();
}
