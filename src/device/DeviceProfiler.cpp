#include "device/DeviceProfiler.h"
#include "content/ContentManager.h"
#include "content/EventDeviceActivation.h"
#include "content/EventLogUserDevice.h"
#include "content/EventTracker.h"
#include "content/TrackingQuery.h"
#include "content/WebTransfer.h"
#include "core/AppHost.h"
#include "core/AppPaths.h"
#include "core/ThreadExit.h"
#include "device/DeviceManager.h"
#include "device/DeviceObject.h"
#include "model/AtomicFileWriter.h"

namespace
{
    std::unique_ptr<DeviceProfiler>& profilerHolder()
    {
        static std::unique_ptr<DeviceProfiler> holder;
        return holder;
    }

    ContentXml capsDocument (juce::uint8 productId)
    {
        auto* content = getContentManager();
        if (content == nullptr)
            return {};
        return content->loadContent (productId, ContentType::caps, false);
    }

    // Whether a "range" child holds the build; an end of -1 is open.
    bool rangeHolds (const juce::XmlElement* range, int build)
    {
        if (range == nullptr)
            return false;
        const int start = range->getIntAttribute ("start", 0);
        const int end = range->getIntAttribute ("end", 0);
        return build >= start && (end == -1 || build <= end);
    }

    juce::String squeezed (const juce::String& text)
    {
        return text.removeCharacters (" \t").toLowerCase();
    }

    bool unitIsConnected (int productId, int serial)
    {
        auto* manager = getDeviceManager();
        return manager != nullptr && juce::isPositiveAndBelow (productId, 255)
            && manager->isDeviceConnected ((juce::uint8) productId, serial);
    }
}

DeviceProfiler* getDeviceProfiler()
{
    return profilerHolder().get();
}

void setDeviceProfiler (DeviceProfiler* profiler)
{
    auto old = std::move (profilerHolder());
    profilerHolder().reset (profiler);
    old.reset();
}

//==============================================================================
namespace
{
    // The profiler that installed the factory-bank lookup; a profiler replaced by a newer one
    // leaves the newer one's lookup in place.
    std::atomic<DeviceProfiler*> lookupOwner { nullptr };
}

DeviceProfiler::DeviceProfiler()
{
    FactoryBank::setLookup ([] (juce::uint8 productId, int build) { return createFactoryBank (productId, build); });
    lookupOwner.store (this);
}

// Runs the look-up of unconfirmed units whenever it is woken, until it is stopped. An exit
// request gives up the web request in progress at once.
class DeviceProfiler::LookUpThread : public juce::Thread
{
public:
    explicit LookUpThread (DeviceProfiler& p) : juce::Thread ("Device Lookup"), profiler (p) {}
    ~LookUpThread() override { stopThread (5000); }

    void run() override
    {
        while (! threadShouldExit())
        {
            wait (-1);
            if (! threadShouldExit())
                profiler.lookUpDevices (this);
        }
    }

private:
    DeviceProfiler& profiler;
};

DeviceProfiler::~DeviceProfiler()
{
    {
        const std::lock_guard<std::mutex> sl (lookUpLock);
        lookUpThread.reset();
    }

    auto* self = this;
    if (lookupOwner.compare_exchange_strong (self, nullptr))
        FactoryBank::setLookup (nullptr);
}

juce::String DeviceProfiler::getVariantDisplayName (juce::uint8 productId, int serial)
{
    auto* content = getContentManager();
    if (content == nullptr)
        return {};

    const auto name = content->getProductName (productId);
    if (auto doc = capsDocument (productId))
    {
        if (auto* variants = doc->getChildByName ("productVariants"))
        {
            for (auto* range : variants->getChildWithTagNameIterator ("range"))
            {
                if (serial >= range->getIntAttribute ("start", 0) && serial <= range->getIntAttribute ("end", 0))
                {
                    const auto display = range->getStringAttribute ("displayName");
                    return display.isNotEmpty() ? display : name;
                }
            }
        }
    }
    return name;
}

std::unique_ptr<DeviceCaps> DeviceProfiler::createDeviceCaps (juce::uint8 productId, int build, juce::String* refusal)
{
    if (capsDocument (productId) == nullptr)
        return {};
    return getContentManager()->createDeviceCaps (productId, build, refusal);
}

std::unique_ptr<FactoryBank> DeviceProfiler::createFactoryBank (juce::uint8 productId, int build)
{
    auto doc = capsDocument (productId);
    if (doc == nullptr)
        return {};

    const juce::XmlElement* bank = nullptr;
    for (auto* candidate : doc->getChildWithTagNameIterator ("factoryBank"))
    {
        if (rangeHolds (candidate->getChildByName ("range"), build))
        {
            bank = candidate;
            break;
        }
    }

    auto caps = createDeviceCaps (productId, build);
    if (caps == nullptr)
        return {};
    return std::make_unique<FactoryBank> (bank, *caps);
}

juce::String DeviceProfiler::findProductNameForPort (const juce::String& portName)
{
    auto* content = getContentManager();
    if (portName.isEmpty() || content == nullptr)
        return {};

    juce::StringArray names;
    for (auto id : content->getProductIds())
        names.add (content->getProductName (id));

    if (names.contains (portName))
        return portName;

    const auto port = squeezed (portName);
    for (auto& name : names)
    {
        const auto product = squeezed (name);
        if (product.isNotEmpty() && port.contains (product))
            return name;
    }
    return {};
}

bool DeviceProfiler::isKnownProductPort (const juce::String& portName)
{
    return findProductNameForPort (portName).isNotEmpty();
}

//==============================================================================
juce::XmlElement* DeviceProfiler::findEntry (int productId, int serial) const
{
    if (registry == nullptr || productId == 255)
        return nullptr;
    for (auto* e : registry->getChildWithTagNameIterator ("device"))
        if (e->getIntAttribute ("id", 255) == productId && e->getIntAttribute ("serial", -1) == serial)
            return e;
    return nullptr;
}

bool DeviceProfiler::save()
{
    if (registry == nullptr)
        return true;
    const juce::File file (AppPaths::getDeviceListFile());
    if (! file.getParentDirectory().createDirectory())
        return false;
    juce::XmlElement::TextFormat format;
    format.customEncoding = "UTF-8";
    return AtomicFileWriter::replaceWithXml (file, *registry, format);
}

void DeviceProfiler::readRegistry()
{
    const juce::ScopedLock sl (lock);
    registry.reset();
    productIds.clear();

    const juce::File file (AppPaths::getDeviceListFile());
    AtomicFileWriter::discardLeftover (AtomicFileWriter::temporaryFor (file));
    if (file.existsAsFile())
    {
        auto xml = juce::XmlDocument::parse (file);
        if (xml != nullptr && xml->hasTagName ("DEVICE_MANAGER"))
            registry = std::move (xml);
    }

    if (registry != nullptr)
        for (auto* e : registry->getChildWithTagNameIterator ("device"))
        {
            const int id = e->getIntAttribute ("id", 255);
            if (juce::isPositiveAndBelow (id, 255))
                productIds.addIfNotAlreadyThere (id);
        }
}

bool DeviceProfiler::load()
{
    readRegistry();
    juce::Array<int> ids;
    {
        const juce::ScopedLock sl (lock);
        ids = productIds;
    }

    // Preparing content may download; the registry stays free meanwhile.
    auto* host = getAppHost();
    bool result = true;
    for (auto id : ids)
        result = host != nullptr && host->prepareProductContent ((juce::uint8) id) && result;

    if (appIsDeveloper() && appIsSyncAll())
        if (auto* content = getContentManager())
            for (auto id : content->getProductIds())
                result = host != nullptr && host->prepareProductContent (id) && result;

    return result;
}

DeviceProfiler::KnownDevices DeviceProfiler::getKnownDevices (bool leaveOutConnected) const
{
    KnownDevices known;
    const juce::ScopedLock sl (lock);
    if (registry == nullptr)
        return known;

    for (auto* e : registry->getChildWithTagNameIterator ("device"))
    {
        const int id = e->getIntAttribute ("id", 255);
        const auto name = e->getStringAttribute ("name");
        const int serial = e->getIntAttribute ("serial", -1);
        if (id == 255 || name.isEmpty())
            continue;
        if (leaveOutConnected && unitIsConnected (id, serial))
            continue;

        const auto manufacture = e->getStringAttribute ("manufacture");
        Date date;
        date.year = manufacture.substring (0, 4).trim().getIntValue();
        date.month = manufacture.substring (5, 7).trim().getIntValue();
        date.day = manufacture.substring (8, 10).trim().getIntValue();

        known.firmwareVersions.add (VersionNumber::parse (e->getStringAttribute ("version")));
        known.names.add (name);
        known.productIds.add (id);
        known.serialNumbers.add (serial);
        known.manufactureDates.add (date);
        known.detectionTimes.add (e->getStringAttribute ("detection").getLargeIntValue());
    }
    return known;
}

void DeviceProfiler::updateFromDevices()
{
    struct Seen
    {
        int productId, serial;
        VersionNumber version;
        std::unique_ptr<juce::XmlElement> entry;
    };
    std::vector<Seen> seen;

    if (auto* manager = getDeviceManager())
    {
        for (int i = 0; i < manager->getNumPairs(); ++i)
        {
            auto device = manager->getDeviceObject (i);
            if (device == nullptr || (device->getStatus() & DeviceObject::identified) == 0)
                continue;
            const int id = device->getProductId();
            const int serial = device->getSerialNumber();
            if (id == 255 || serial < 0)
                continue;
            seen.push_back ({ id, serial, device->getFirmwareVersion(), device->createDeviceXml() });
        }
    }

    std::vector<std::unique_ptr<TrackableEvent>> events;
    {
        const juce::ScopedLock sl (lock);
        if (registry == nullptr)
            registry = std::make_unique<juce::XmlElement> ("DEVICE_MANAGER");

        bool changed = false, added = false;
        for (auto& unit : seen)
        {
            if (auto* entry = findEntry (unit.productId, unit.serial))
            {
                const auto version = unit.version.toString();
                if (entry->getStringAttribute ("version") != version)
                {
                    entry->setAttribute ("version", version);
                    changed = true;
                }
            }
            else
            {
                registry->addChildElement (unit.entry.release());
                productIds.addIfNotAlreadyThere (unit.productId);
                changed = added = true;
            }
        }

        if (changed)
            save();

        auto* host = getAppHost();
        const bool firstRun = host != nullptr && host->getFirstRunFlag();
        if (added || (firstRun && ! loggedThisRun))
        {
            for (auto* e : registry->getChildWithTagNameIterator ("device"))
            {
                const auto version = VersionNumber::parse (e->getStringAttribute ("version"));
                const juce::Time detected (e->getStringAttribute ("detection").getLargeIntValue());
                events.push_back (std::make_unique<EventLogUserDevice> (e->getIntAttribute ("serial", -1),
                                                                        (juce::uint8) e->getIntAttribute ("id", 255),
                                                                        version, detected));
            }
            loggedThisRun = true;
        }
    }

    if (! events.empty())
    {
        if (auto* tracker = getEventTracker())
        {
            for (auto& e : events)
                tracker->addEvent (std::move (e), -1, true);
            tracker->notify();
        }
    }
}

bool DeviceProfiler::removeDevice (juce::uint8 productId, int serial)
{
    if (unitIsConnected (productId, serial))
        return false;

    const juce::ScopedLock sl (lock);
    auto* entry = findEntry (productId, serial);
    if (entry == nullptr)
        return false;
    registry->removeChildElement (entry, true);
    save();
    return true;
}

bool DeviceProfiler::removeDisconnectedDevices()
{
    const juce::ScopedLock sl (lock);
    if (registry == nullptr)
        return false;

    juce::Array<juce::XmlElement*> gone;
    for (auto* e : registry->getChildWithTagNameIterator ("device"))
        if (! unitIsConnected (e->getIntAttribute ("id", 255), e->getIntAttribute ("serial", -1)))
            gone.add (e);

    for (auto* e : gone)
        registry->removeChildElement (e, true);
    if (! gone.isEmpty())
        save();
    return ! gone.isEmpty();
}

bool DeviceProfiler::isFirmwareUpdateAvailableForDevice (juce::uint8 productId, int serial) const
{
    int build = -1;
    {
        const juce::ScopedLock sl (lock);
        if (auto* entry = findEntry (productId, serial))
            build = VersionNumber::parse (entry->getStringAttribute ("version")).build;
    }
    auto* content = getContentManager();
    return build >= 0 && content != nullptr && content->isFirmwareUpdateAvailable (productId, build);
}

void DeviceProfiler::startLookUp()
{
    const std::lock_guard<std::mutex> sl (lookUpLock);
    if (lookUpThread == nullptr)
    {
        lookUpThread = std::make_unique<LookUpThread> (*this);
        lookUpThread->startThread();
    }
    lookUpThread->notify();
}

void DeviceProfiler::lookUpDevices (juce::Thread* thread)
{
    struct Unit
    {
        int productId, serial;
        juce::String name;
        juce::int64 detection;
    };
    std::vector<Unit> unconfirmed;
    {
        const juce::ScopedLock sl (lock);
        if (registry == nullptr)
            return;
        for (auto* e : registry->getChildWithTagNameIterator ("device"))
            if (! e->getBoolAttribute ("activated", false))
                unconfirmed.push_back ({ e->getIntAttribute ("id", 255), e->getIntAttribute ("serial", -1),
                                         e->getStringAttribute ("name"),
                                         e->getStringAttribute ("detection").getLargeIntValue() });
    }

    bool changed = false;
    for (auto& unit : unconfirmed)
    {
        if (exitRequested (thread))
            break;

        TrackingQuery query ("db_query_find_device.php");
        query.addParameter ("serial", unit.serial);
        juce::String reply;
        postFormToWeb (query.buildUrl(), reply, thread);
        reply = reply.trim();

        bool activated = false;
        if (reply == "No")
        {
            EventDeviceActivation activation (unit.serial, unit.name, juce::Time (unit.detection));
            juce::String answer;
            postFormToWeb (activation.getUrl(), answer, thread);
            activated = answer.trim() == "Success";
        }
        else if (reply == "Yes")
        {
            activated = true;
        }

        if (activated)
        {
            const juce::ScopedLock sl (lock);
            if (auto* entry = findEntry (unit.productId, unit.serial))
            {
                entry->setAttribute ("activated", 1);
                changed = true;
            }
        }
    }

    if (changed)
    {
        const juce::ScopedLock sl (lock);
        save();
    }
}

std::unique_ptr<juce::XmlElement> DeviceProfiler::getRegistryCopy() const
{
    const juce::ScopedLock sl (lock);
    return registry != nullptr ? std::make_unique<juce::XmlElement> (*registry) : nullptr;
}

juce::Array<int> DeviceProfiler::getKnownProductIds() const
{
    const juce::ScopedLock sl (lock);
    return productIds;
}
