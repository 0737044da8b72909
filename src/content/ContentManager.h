#pragma once

#include "content/ContentTypes.h"
#include "content/ProductInfo.h"
#include "content/WebTransfer.h"
#include <juce_graphics/juce_graphics.h>
#include <functional>
#include <vector>

class ContentDownloadThread;
class DeviceCaps;
class PictureDownloadThread;

// Loads the control descriptor (web, developer override, stored copy or the installed
// copy), keeps one record per product, and keeps each product's content (capability
// profiles, firmware lists and images, conversion rules and scripts, preset packs) in the
// product's folder. One instance per run, reached through getContentManager().
//
// The message thread never waits on the web: the copy on disk is in force while a worker
// fetches the web copy, which is put in force on the message thread when it arrives. The hub
// starts the devices once the fetch has ended (callWhenDescriptorFetched).
//
// Every record field is guarded by one lock; lists and content XML are handed out as
// copies or shared pointers, never as references into a record.
//
// The class's work is spread over three files by job: the descriptor and the product records
// (ContentManager.cpp), each product's content on disk and what is read from it
// (ContentManagerProductContent.cpp), and the downloads that bring it up to date
// (ContentManagerDownloads.cpp).
class ContentManager
{
public:
    // The program's own build number; a descriptor announcing a higher one offers an update.
    static constexpr int programBuildNumber = 139;

    ContentManager();
    ~ContentManager();

    // Stops and deletes the download threads and drops the descriptor and every record.
    void reset();

    // Puts the copy on disk in force (developer override, else the stored copy, else the
    // installed one) and starts fetching the web copy. Fatal code 2 when neither the disk
    // nor the web has one, raised once the fetch has failed.
    void loadControlDescriptor();

    // Loads, then builds the links and product records; false when no descriptor is in force.
    bool parseControlDescriptor();

    // True once a web copy of the descriptor has arrived in this run.
    bool isOnline() const noexcept        { return online.load(); }
    bool hasControlDescriptor() const;

    // Calls `callback` on the message thread once the outcome of the fetch is in force (at once
    // when it is already). Dropped when the manager goes first.
    void callWhenDescriptorFetched (std::function<void()> callback);

    // ---- product records and lookups
    juce::Array<juce::uint8> getProductIds() const;
    int findProductIndex (juce::uint8 productId) const;
    juce::uint8 findProductIdByName (const juce::String& name) const;
    juce::String getProductName (juce::uint8 productId) const;
    bool getAllVersSupportGenSyxID (juce::uint8 productId) const;
    juce::Image getProductImage (juce::uint8 productId, const juce::String& variantDisplayName) const;
    juce::String getManualUrl (juce::uint8 productId) const;
    bool isProductSynced (juce::uint8 productId) const;
    juce::int64 getLastSyncTime (juce::uint8 productId) const;

    // ---- links
    juce::String getAccountLink() const;
    juce::String getProductSupportLink() const;
    juce::String getGeneralSupportLink() const;
    juce::String getManualLink() const;
    juce::String getDefaultManualLink() const;
    juce::String getConnectionFaqLink() const;
    juce::String getLatestBuildInfo() const;
    juce::String getUpdateAddress() const;

    // ---- byte counters the status bar polls
    ByteCounter& getTransferCounter() noexcept { return transferCounter; }
    ByteCounter& getBytesFetched() noexcept    { return bytesFetched; }

    // ---- product content
    juce::String getContentAddress (juce::uint8 productId, int type, int index = 0) const;
    juce::String getContentFile (juce::uint8 productId, int type, int index, bool createFolder) const;
    ContentXml loadContent (juce::uint8 productId, int type, bool reload);
    bool isContentCurrent (juce::uint8 productId, int type);
    bool isPresetPackListCurrent (juce::uint8 productId) const;
    bool areContentFilesPresent (juce::uint8 productId, int type);
    bool parseContentLists (juce::uint8 productId, int type);

    // Brings the caps content up to date. The variant pictures are taken from disk; those
    // missing, or all when the caps content was renewed, are handed to a thread of their own.
    bool prepareProduct (juce::uint8 productId);
    bool loadStoredContent (juce::uint8 productId);

    // On the picture thread: downloads the variant pictures whose files are missing (all of
    // them with `force`) and puts them in force. True when any picture came.
    bool downloadVariantImages (juce::uint8 productId, bool force, juce::Thread* thread);

    // For the message thread, which does not wait for downloads: the content on disk serves at
    // once, and the download thread prepares and synchronises the product, posting its start
    // and result as for any synchronisation. False when online content cannot be queued.
    bool queuePreparation (juce::uint8 productId);
    // A synchronisation in two parts, each on a download thread of its own (see
    // ContentDownloadThread): first the small files that a unit of the product waits for, the
    // firmware list and the conversion rules with their scripts; then the firmware images and
    // the packs, which nothing waits for. The second stores the product's synced flag: true when
    // both brought everything.
    bool syncUnitFiles (juce::uint8 productId, juce::Thread* thread);
    bool syncLargeFiles (juce::uint8 productId, juce::Thread* thread);

    bool downloadFirmwareImages (juce::uint8 productId, juce::Thread* thread);
    bool downloadRuleScripts (juce::uint8 productId, juce::Thread* thread);
    bool downloadPresetPacks (juce::uint8 productId, juce::Thread* thread);

    ContentXml getCapsXml (juce::uint8 productId) const;
    juce::Array<ConversionRuleInfo> getConversionRules (juce::uint8 productId, int kind) const;
    // The usable entries; `withComing` adds those whose images the synchronisation running now
    // is still to bring (see isFirmwareImageComing).
    juce::Array<FirmwareUpdateElement> getFirmwareList (juce::uint8 productId, bool withComing = false) const;
    // True for an entry whose image is not on disk yet while its product is queued for (or in)
    // its synchronisation, which fetches it: a version still downloading, not a missing one.
    bool isFirmwareImageComing (juce::uint8 productId, const FirmwareUpdateElement& entry) const;
    bool isFirmwareUpdateAvailable (juce::uint8 productId, int build) const;
    FirmwareUpdateElement getLatestFirmware (juce::uint8 productId) const;

    // The capability profile of a build, from the product's loaded capability content
    // (DeviceCaps::createForBuild). Null without content, and null for a profile whose data
    // format the data file cannot hold (the reason is logged and handed to `refusal` when given).
    std::unique_ptr<DeviceCaps> createDeviceCaps (juce::uint8 productId, int build, juce::String* refusal = nullptr) const;

    // The capability profile of a preset (kind 1) or setup (kind 2) data version, from the
    // product's loaded capability content (DeviceCaps::createForDataVersion). Null for another
    // kind, without content, or for a profile refused as above.
    std::unique_ptr<DeviceCaps> createDeviceCapsForDataVersion (juce::uint8 productId, int kind, int version) const;

    ContentDownloadThread* getDownloadThread() const noexcept { return downloader.load(); }

    // The "Content" folder beside the executable; tests point it elsewhere.
    static juce::File getInstalledContentFolder();
    static void setInstalledContentFolder (const juce::File& folder);

    // Name of the file in the packs folder that holds the revision key of the pack
    // unpacked there.
    static constexpr const char* packKeyFileName = ".presetsKey";

private:
    struct Links
    {
        juce::String account, productSupport, generalSupport, manual, defaultManual, connectionFaq;
        juce::String latestBuildInfo, updateAddress;
    };

    class DescriptorFetch;
    struct FetchedDescriptor;
    struct FetchReceiver : juce::MessageListener
    {
        explicit FetchReceiver (ContentManager& o) : owner (o) {}
        void handleMessage (const juce::Message&) override;
        ContentManager& owner;
    };

    static Links makeDefaultLinks();
    static juce::String childText (const juce::XmlElement* parent, const juce::String& name);
    ProductInfo* findRecord (juce::uint8 productId) const;   // call under the lock

    // Copies one field of a product's record, taken under the lock; false without a record.
    template <typename Value>
    bool copyFromRecord (juce::uint8 productId, Value ProductInfo::* field, Value& out) const
    {
        const juce::ScopedLock sl (lock);
        auto* p = findRecord (productId);
        if (p == nullptr)
            return false;
        out = p->*field;
        return true;
    }
    bool buildRecords (juce::OwnedArray<ProductInfo>& previous);   // call under the lock
    void startDescriptorFetch (const juce::String& developerWebAddress);
    void takeFetchedDescriptor (std::unique_ptr<juce::XmlElement> web, std::unique_ptr<juce::XmlElement> developerCopy);
    void startDownloadThread();
    void seedProductFolders();
    bool downloadContentXml (juce::uint8 productId, int type, juce::Thread* thread, TransferDeadline deadline);
    // Puts the pictures on disk in force (the default one for any that will not load); true when
    // a picture file is missing, or when `stale`.
    bool rebuildVariantImages (juce::uint8 productId, bool stale);
    juce::String getDescriptorKey (juce::uint8 productId, int type) const;
    static juce::String readPackKey (const juce::String& packsFolder);
    bool downloadFirmwareImage (const FirmwareUpdateElement& entry, juce::Thread* thread);
    bool extractPack (const juce::File& archive, const juce::File& folder, juce::Thread* thread) const;
    void markFirmwareEntryFailed (juce::uint8 productId, const FirmwareUpdateElement& entry);

    mutable juce::CriticalSection lock;
    juce::CriticalSection preparationLock;   // one product preparation at a time, whichever thread runs it
    std::unique_ptr<ContentDownloadThread> downloadThread;
    std::atomic<ContentDownloadThread*> downloader { nullptr };   // read by every thread
    std::unique_ptr<PictureDownloadThread> pictureThread;         // made and ended with the one above
    std::atomic<PictureDownloadThread*> pictureDownloader { nullptr };

    // The fetch of the web copy; the fields below the thread are the message thread's.
    std::unique_ptr<DescriptorFetch> descriptorFetch;
    std::atomic<bool> fetching { false };
    int fetchGeneration = 0;
    bool developerCopyInForce = false;
    std::vector<std::function<void()>> fetchCallbacks;
    FetchReceiver fetchReceiver { *this };
    // Products read from disk while the fetch ran; under the lock, which also covers the end of
    // the fetch (the online state and the fetching flag change together with this list).
    juce::Array<juce::uint8> wantedOnline;
    ByteCounter transferCounter { 0 };
    ByteCounter bytesFetched { 0 };
    std::atomic<bool> online { false };
    std::unique_ptr<juce::XmlElement> activeDescriptor;
    Links links;
    juce::OwnedArray<ProductInfo> products;
    juce::Image defaultProductImage;

    JUCE_DECLARE_NON_COPYABLE (ContentManager)
};

// The process-wide content manager; the setter owns what it is given and deletes the
// one it replaces. Whatever is still set at process exit is deleted then.
ContentManager* getContentManager();
void setContentManager (ContentManager* manager);

// Posts a DeviceInfoMessage to the hub, which relays it to the main content component;
// dropped when no hub is there.
void postInfoToHub (int code, int p1, int p2, const juce::String& text);

// Posts the content status text (DeviceInfoMessage 0x70000) to the hub.
void postContentStatusText (const juce::String& text);

// Reads "YYYY-MM-DDThh:mm:ssZ" as UTC milliseconds; the current time when the year is
// outside 2000..3000.
juce::int64 parseIsoDateTime (const juce::String& text);

bool isXmlElementWithTag (const juce::XmlElement* element, const juce::String& tag);

// Draws the picture shown for a product or variant without an image of its own.
juce::Image createDefaultProductImage();
