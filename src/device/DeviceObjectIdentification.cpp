#include "device/DeviceObject.h"
#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "core/AppHost.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceProfiler.h"

// Identification: what the unit is (firmware version, serial number, manufacture date), its
// product content and capability profile, and the check that the same unit is still there.

void DeviceObject::listen (int windowMs, const std::function<bool()>& done)
{
    const auto deadline = deadlineIn (windowMs);
    for (;;)
    {
        while (processIncoming())
            if (threadShouldExit() || done())
                return;
        if (threadShouldExit() || done())
            return;
        const int left = remainingUntil (deadline);
        if (left <= 0)
            return;
        wait (left);
    }
}

void DeviceObject::identify()
{
    queue.setState (DeviceCommandQueue::busy);
    const bool wereOpen = arePortsOpen();
    {
        const juce::ScopedLock sl (infoLock);
        serial = -1;
        firmware = VersionNumber();
        year = month = day = 0;
        deviceData.reset();
        caps.reset();
    }

    juce::uint32 s = notIdentified | identifying;
    if (DeviceProfiler::isKnownProductPort (portName))
        s |= namedLikeProduct;
    status.store (s);
    notifyChange();

    auto build = [this] { return getFirmwareVersion().build; };

    if (openPorts())
    {
        {
            // What the unit tells from here on is of the ports listed now.
            const juce::ScopedLock pl (portLock);
            identifiedWith = openedWith;
            identityUnconfirmed = false;
        }
        sendMessage (makeQuery (DeviceQuery::firmwareVersion));
        listen (timings.identityWindowMs, [&] { return build() != 0; });

        auto* content = getContentManager();
        if (! threadShouldExit() && build() != 0)
        {
            if (content != nullptr && content->findProductIndex (getProductId()) >= 0)
                readDeviceInformation();
            else
                status |= unknownProduct;
        }
        else if (! threadShouldExit() && content != nullptr)
        {
            for (auto id : content->getProductIds())
            {
                if (threadShouldExit())
                    break;
                if (content->getAllVersSupportGenSyxID (id) && ! appIsScanAll())
                    continue;

                {
                    const juce::ScopedLock sl (infoLock);
                    query.setProductId (id);
                }
                sendMessage (makeQuery (DeviceQuery::firmwareVersion));
                listen (timings.identityWindowMs, [&] { return build() != 0; });

                if (threadShouldExit())
                    break;
                if (build() != 0)
                {
                    readDeviceInformation();
                    break;
                }
            }
        }
    }

    s = status.load() & ~(juce::uint32) (notIdentified | identifying);
    if ((s & 0xFF) == 0)
        s |= notAUnit;
    status.store (s);

    if (! wereOpen && arePortsOpen())
        closePorts();

    queue.setState (DeviceCommandQueue::idle);
    lastStatus = noStatus;
    notifyChange();
}

void DeviceObject::readDeviceInformation()
{
    const auto version = getFirmwareVersion();
    if (version.build == 0)
        return;

    const bool content = ensureProductContent();
    status |= identificationFailed;
    if (! content)
        return;

    sendMessage (makeQuery (DeviceQuery::serialNumber));
    listen (timings.identityWindowMs, [this] { return getSerialNumber() != -1; });
    if (threadShouldExit() || getSerialNumber() == -1)
        return;

    sendMessage (makeQuery (DeviceQuery::manufactureDate));
    auto yearKnown = [this] { int y, m, d; getManufactureDate (y, m, d); return y != 0; };
    listen (timings.identityWindowMs, yearKnown);
    if (threadShouldExit() || ! yearKnown())
        return;

    const auto id = getProductId();
    juce::String refusal;
    auto profile = DeviceProfiler::createDeviceCaps (id, version.build, &refusal);
    if (profile == nullptr)
    {
        status = (status.load() & ~(juce::uint32) identificationFailed) | identified | unknownProduct;
        // A unit whose profile was refused stays unused; the user is told why.
        if (refusal.isNotEmpty())
            post (InfoCode::unitProfileRefused, id, version.build, refusal);
        return;
    }

    auto data = std::make_unique<DeviceData> (version, profile->getFormat(), nullptr);
    {
        const juce::ScopedLock sl (infoLock);
        caps = std::move (profile);
        deviceData = std::move (data);
    }
    status = (status.load() & ~(juce::uint32) identificationFailed) | identified;
}

bool DeviceObject::ensureProductContent()
{
    auto* content = getContentManager();
    if (content == nullptr)
        return false;

    const auto id = getProductId();
    auto capsLoadable = [content, id] { return content->loadContent (id, ContentType::caps, false) != nullptr; };

    // A unit waits only for the small files of its product, and for those at most the web
    // time-out in all, its caps included; then it is identified with what is on disk, as
    // offline, while the firmware images and packs go on downloading in the background.
    const auto waitMs = juce::jmin ((double) getWebTimeoutMs(), juce::jmax (0.0, (double) getDownloadTimeout() * 1000.0));
    const auto deadline = deadlineIn ((int) waitMs);

    if (! content->isProductSynced (id))
    {
        auto* host = getAppHost();
        const bool prepared = host != nullptr && host->prepareProductContent (id);
        if (! prepared || ! content->isOnline())
            return capsLoadable();
    }

    auto* downloader = content->getDownloadThread();
    while (downloader != nullptr && downloader->isFetchingUnitFiles (id) && ! threadShouldExit())
    {
        const int left = remainingUntil (deadline);
        if (left <= 0)
            break;
        pause (juce::jmin (left, timings.contentWaitStepMs));
    }

    return capsLoadable();
}

bool DeviceObject::checkSerialNumber()
{
    {
        const juce::ScopedLock pl (portLock);
        if (output == nullptr || getDeviceCaps() == nullptr)
        {
            notifyChange();
            return false;
        }
    }

    int remembered = 0;
    {
        const juce::ScopedLock sl (infoLock);
        remembered = serial;
        serial = -1;
    }
    sendMessage (makeQuery (DeviceQuery::serialNumber));
    // The window ends the wait: a unit that was unplugged never answers.
    listen (timings.identityWindowMs, [this] { return getSerialNumber() != -1; });

    const int received = getSerialNumber();
    if (! threadShouldExit() && received != -1 && received == remembered)
    {
        identityUnconfirmed = false;
        return true;
    }

    notifyChange();
    return false;
}

bool DeviceObject::confirmIdentity()
{
    if (! identityUnconfirmed.load() || ! arePortsOpen())
        return true;

    const int identifiedAs = getSerialNumber();
    if (checkSerialNumber())
    {
        // The command starts as the queue handed it over.
        queue.setState (DeviceCommandQueue::busy);
        lastStatus = noStatus;
        return true;
    }

    {
        // Nothing of the unit that answered is taken for this one's: not even its serial
        // number, under which the pages file the unit's data.
        const juce::ScopedLock sl (infoLock);
        serial = identifiedAs;
    }
    if (! threadShouldExit())
    {
        unplugged = true;
        fail (DeviceError::connectionLost);
        // The device manager tells of the loss without waiting for its next look.
        if (manager != nullptr)
            manager->notify();
    }
    return false;
}

juce::MidiMessage DeviceObject::makeQuery (int kind)
{
    const juce::ScopedLock sl (infoLock);
    return query.makeMessage (kind);
}

void DeviceObject::handleIdentityReply (const juce::MidiMessage& m)
{
    const auto* d = m.getRawData();
    const auto id = d[5];
    {
        const juce::ScopedLock sl (infoLock);
        if (query.getProductId() == DeviceQuery::anyProduct)
            query.setProductId (id);

        if (id == query.getProductId())
        {
            switch (query.matchesReply (m) ? d[7] : -1)
            {
                case DeviceQuery::firmwareVersion: firmware = DeviceQuery::decodeFirmwareVersion (d); break;
                case DeviceQuery::serialNumber:    serial = DeviceQuery::decodeSerialNumber (d); break;
                case DeviceQuery::manufactureDate: DeviceQuery::decodeManufactureDate (d, year, month, day); break;
                default: break;
            }
            queue.setState (DeviceCommandQueue::answerComplete);
            return;
        }
    }
    // Another product's answer; the failure is set outside the lock.
    fail (DeviceError::unexpectedData);
}
