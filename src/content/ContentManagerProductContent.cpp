#include "content/ContentManager.h"
#include "content/ContentDownloadThread.h"
#include "content/ContentFiles.h"
#include "core/AppHost.h"
#include "core/AppPaths.h"
#include "model/DeviceCaps.h"
#include <algorithm>

// The content of each product on disk: where each kind lives, its lists (firmware builds,
// conversion rules, product variants) and the capability profiles made from it.

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
            if (! copyFromRecord (productId, &ProductInfo::firmwareList, list))
                return false;
            for (auto& e : list)
            {
                if (e.getStatus() == FirmwareUpdateElement::statusExpired
                    || e.getStatus() == FirmwareUpdateElement::statusRevoked)
                    continue;
                // An image that is not whole counts as missing.
                if (! e.isUsable())
                    return false;
            }
            return true;
        }

        case ContentType::conversionRules:
        {
            juce::Array<ConversionRuleInfo> rules;
            if (! copyFromRecord (productId, &ProductInfo::conversionRuleList, rules))
                return false;
            for (auto& r : rules)
                if (! ContentFiles::isNonEmptyFile (r.scriptFile))
                    return false;
            return true;
        }

        case ContentType::presetPacks:
        {
            const auto path = getContentFile (productId, ContentType::presetPacks, 0, false);
            if (! ContentFiles::isNonEmptyFile (path))
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

bool ContentManager::rebuildVariantImages (juce::uint8 productId, bool stale)
{
    juce::StringArray icons;
    if (! copyFromRecord (productId, &ProductInfo::variantIconAddresses, icons))
        return false;

    bool wanted = false;
    juce::Array<juce::Image> images;
    for (int i = 0; i < icons.size(); ++i)
    {
        const auto path = getContentFile (productId, ContentType::variantIcon, i, false);
        wanted = wanted || (path.isNotEmpty() && (stale || ! juce::File (path).exists()));

        juce::Image image;
        if (path.isNotEmpty() && juce::File (path).existsAsFile())
            image = juce::ImageFileFormat::loadFrom (juce::File (path));
        images.add (image.isValid() ? image : defaultProductImage);
    }

    const juce::ScopedLock sl (lock);
    if (auto* p = findRecord (productId))
        p->variantImages = images;
    return wanted;
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

    rebuildVariantImages (productId, false);
    return result;
}

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
    return DeviceCaps::createForBuild (*caps, productId, build, refusal);
}

std::unique_ptr<DeviceCaps> ContentManager::createDeviceCapsForDataVersion (juce::uint8 productId, int kind,
                                                                             int version) const
{
    auto caps = getCapsXml (productId);
    if (caps == nullptr)
        return {};
    return DeviceCaps::createForDataVersion (*caps, productId, kind, version);
}

juce::Array<ConversionRuleInfo> ContentManager::getConversionRules (juce::uint8 productId, int kind) const
{
    juce::Array<ConversionRuleInfo> all;
    copyFromRecord (productId, &ProductInfo::conversionRuleList, all);

    juce::Array<ConversionRuleInfo> result;
    for (auto& r : all)
        if (r.kind == kind && r.kind != ConversionRuleInfo::invalid && r.sourceVersion >= 0 && r.targetVersion >= 0
            && r.targetProductId != 255 && ContentFiles::isNonEmptyFile (r.scriptFile))
            result.add (r);
    return result;
}

juce::Array<FirmwareUpdateElement> ContentManager::getFirmwareList (juce::uint8 productId, bool withComing) const
{
    juce::Array<FirmwareUpdateElement> all;
    copyFromRecord (productId, &ProductInfo::firmwareList, all);

    const bool developer = appIsDeveloper();
    juce::Array<FirmwareUpdateElement> result;
    for (auto& e : all)
    {
        const bool prerelease = e.getStatus() == FirmwareUpdateElement::statusBeta
                             || e.getStatus() == FirmwareUpdateElement::statusAlpha;
        if ((e.isUsable() || (withComing && isFirmwareImageComing (productId, e))) && (developer || ! prerelease))
            result.add (e);
    }
    return result;
}

bool ContentManager::isFirmwareImageComing (juce::uint8 productId, const FirmwareUpdateElement& entry) const
{
    const auto status = entry.getStatus();
    const bool fetched = status == FirmwareUpdateElement::statusPublic
                      || ((status == FirmwareUpdateElement::statusBeta || status == FirmwareUpdateElement::statusAlpha)
                          && appIsDeveloper());
    auto* thread = getDownloadThread();
    return fetched && ! entry.isUsable() && thread != nullptr && thread->isQueued (productId);
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
