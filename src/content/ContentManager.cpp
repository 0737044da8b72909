#include "content/ContentManager.h"
#include "model/AtomicFileWriter.h"
#include "model/DataLocation.h"
#include "content/ContentDownloadThread.h"
#include "content/PictureDownloadThread.h"
#include "core/AppHost.h"
#include "core/AppPaths.h"
#include "core/DeviceInfoMessage.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"

namespace
{
    const char* const descriptorFileName = "masterDescriptor.xml";

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

    // A product without a usable name or id can have no folder and cannot be identified.
    bool isUsableProduct (const juce::XmlElement& product)
    {
        return parseProductId (product) >= 0 && AppPaths::isUsableFolderName (product.getStringAttribute ("name"));
    }

    // A descriptor worth putting in force: the right root, and a product the program can use.
    // One that names none would leave every unit unfound.
    bool namesAUsableProduct (const juce::XmlElement* descriptor)
    {
        if (! isXmlElementWithTag (descriptor, ContentType::getRootTag (ContentType::controlDescriptor)))
            return false;
        if (auto* devices = descriptor->getChildByName ("devices"))
            for (auto* product : devices->getChildWithTagNameIterator ("product"))
                if (isUsableProduct (*product))
                    return true;
        return false;
    }

    juce::String websitePath (const char* path)
    {
        return WebRoot::getDefaultRoot() + path;
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
juce::String ContentManager::childText (const juce::XmlElement* parent, const juce::String& name)
{
    if (parent != nullptr)
        if (auto* child = parent->getChildByName (name))
            return child->getAllSubText().trim();
    return {};
}

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
    DescriptorFetch (ContentManager& o, int g, const juce::String& web, const juce::String& developer,
                     TransferDeadline d)
        : juce::Thread ("Descriptor Fetch"), owner (o), generation (g), webAddress (web), developerAddress (developer),
          deadline (d)
    {
    }

    ~DescriptorFetch() override { stopThread (ContentDownloadThread::stopTimeoutMs); }

    void run() override;

private:
    ContentManager& owner;
    const int generation;
    const juce::String webAddress, developerAddress;
    const TransferDeadline deadline;
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
    message->web = loadXmlFromAddress (webAddress, &owner.bytesFetched, true, this, deadline);
    if (developerAddress.isNotEmpty() && ! threadShouldExit())
        message->developerCopy = loadXmlFromWeb (&owner.bytesFetched, developerAddress, this, deadline);

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
    // The devices wait for the fetch, so it has a bound as a whole: the worker gives its
    // transfers up at the web time-out, whatever they still wait for, and reports a failure.
    fetching.store (true);
    descriptorFetch = std::make_unique<DescriptorFetch> (*this, ++fetchGeneration,
                                                         WebRoot::getContentBase() + "/" + descriptorFileName,
                                                         developerWebAddress, webTimeoutFromNow());
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
    pictureThread = std::make_unique<PictureDownloadThread> (*this);
    pictureThread->startThread();
    pictureDownloader.store (pictureThread.get());
}

void ContentManager::takeFetchedDescriptor (std::unique_ptr<juce::XmlElement> web,
                                            std::unique_ptr<juce::XmlElement> developerCopy)
{
    const auto rootTag = ContentType::getRootTag (ContentType::controlDescriptor);
    // A web copy that names no usable product counts as not arrived: the copy from disk stays,
    // in force and on disk, as after any failed fetch.
    const bool arrived = namesAUsableProduct (web.get());

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

    const bool inForce = hasControlDescriptor();
    const bool nowOnline = inForce && arrived;
    if (! inForce)
        appRaiseFatalError (2);
    else if (nowOnline)
        startDownloadThread();

    // The fetch ends, and the program goes online, in the same step as the list of products
    // read from disk meanwhile is taken: a product read from disk is either on that list or
    // read once the program's state is known (see Nexus::prepareProductContent).
    juce::Array<juce::uint8> wanted;
    {
        const juce::ScopedLock sl (lock);
        wanted.swapWith (wantedOnline);
        online.store (nowOnline);
        fetching.store (false);
    }

    // What was read from disk while the fetch ran is brought up to date now.
    if (nowOnline)
        for (auto id : wanted)
            if (findProductIndex (id) >= 0)
                downloadThread->queueProduct (id, true);

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
    downloadThread.reset();   // stops its threads
    pictureDownloader.store (nullptr);
    pictureThread.reset();

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

    // A stored copy that names no usable product (as earlier versions stored from the web)
    // counts as missing: the installed copy takes its place.
    if (active == nullptr)
    {
        active = loadXmlDocument (&bytesFetched, storedFile.getFullPathName());
        if (! namesAUsableProduct (active.get()))
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
            if (! isUsableProduct (*product))
                continue;
            const auto name = product->getStringAttribute ("name");
            const int id = parseProductId (*product);

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
