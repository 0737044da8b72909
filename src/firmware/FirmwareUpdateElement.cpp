#include "firmware/FirmwareUpdateElement.h"
#include "content/ContentFiles.h"
#include "content/ContentManager.h"
#include "model/DeviceCaps.h"
#include "model/FirmwareImage.h"

namespace
{
    juce::int16 toVersionPart (const juce::String& text)
    {
        return (juce::int16) juce::jlimit (-32768, 32767, text.trim().getIntValue());
    }

    juce::String childText (const juce::XmlElement& parent, const char* name)
    {
        if (auto* child = parent.getChildByName (name))
            return child->getAllSubText();
        return {};
    }
}

FirmwareUpdateElement::FirmwareUpdateElement()
    : description (std::make_unique<juce::XmlElement> ("description"))
{
}

FirmwareUpdateElement::FirmwareUpdateElement (const juce::XmlElement& entry, const juce::String& firmwareFolder)
    : FirmwareUpdateElement()
{
    status = parseStatus (childText (entry, "status"));
    if (status == statusUnknown)
        return;

    releaseDate = parseIsoDateTime (childText (entry, "pubDate"));

    if (auto* d = entry.getChildByName ("description"))
        description = std::make_unique<juce::XmlElement> (*d);

    version = parseVersionText (childText (entry, "version"));
    link = childText (entry, "link").trim();
    imageFile = ContentFiles::fileInFolder (firmwareFolder, link);

    // An entry without a link, without a build, or whose link names no file cannot be used.
    if (link.isEmpty() || version.build <= 0 || imageFile.isEmpty())
        status = statusUnknown;
}

FirmwareUpdateElement::FirmwareUpdateElement (const juce::String& imageFilePath, const VersionNumber& v)
    : FirmwareUpdateElement()
{
    status = statusCustom;
    version = v;
    imageFile = imageFilePath;
    description->createNewChildElement ("line")->addTextElement ("Custom firmware update");

    const juce::File file (juce::File::isAbsolutePath (imageFilePath) ? juce::File (imageFilePath) : juce::File());
    if (file == juce::File() || ! file.existsAsFile())
        status = statusUnknown;
    else
        releaseDate = file.getCreationTime().toMilliseconds();
}

FirmwareUpdateElement::FirmwareUpdateElement (const FirmwareUpdateElement& other)
    : status (other.status),
      releaseDate (other.releaseDate),
      description (std::make_unique<juce::XmlElement> (*other.description)),
      version (other.version),
      link (other.link),
      imageFile (other.imageFile)
{
}

FirmwareUpdateElement& FirmwareUpdateElement::operator= (const FirmwareUpdateElement& other)
{
    if (this != &other)
    {
        status = other.status;
        releaseDate = other.releaseDate;
        description = std::make_unique<juce::XmlElement> (*other.description);
        version = other.version;
        link = other.link;
        imageFile = other.imageFile;
    }
    return *this;
}

int FirmwareUpdateElement::parseStatus (const juce::String& text)
{
    const auto t = text.trim();
    if (t.equalsIgnoreCase ("public"))  return statusPublic;
    if (t.equalsIgnoreCase ("beta"))    return statusBeta;
    if (t.equalsIgnoreCase ("alpha"))   return statusAlpha;
    if (t.equalsIgnoreCase ("expired")) return statusExpired;
    if (t.equalsIgnoreCase ("revoked")) return statusRevoked;
    return statusUnknown;
}

VersionNumber FirmwareUpdateElement::parseVersionText (const juce::String& text)
{
    VersionNumber v;
    auto rest = text.trim().toLowerCase();

    if (rest.startsWith ("demo"))
    {
        v.buildType = 3;
        rest = rest.substring (4).trim();
    }
    else if (rest.startsWithChar ('a'))
    {
        v.buildType = 2;
        rest = rest.substring (1).trim();
    }
    else if (rest.startsWithChar ('b'))
    {
        v.buildType = 1;
        rest = rest.substring (1).trim();
    }

    v.major = toVersionPart (rest.upToFirstOccurrenceOf (".", false, false));
    rest = rest.fromFirstOccurrenceOf (".", false, false).trim();
    v.minor = toVersionPart (rest.upToFirstOccurrenceOf (".", false, false));
    rest = rest.fromFirstOccurrenceOf (".", false, false).trim();

    const int end = rest.indexOfAnyOf (" .b");
    v.revision = toVersionPart (end >= 0 ? rest.substring (0, end) : rest);

    v.build = toVersionPart (rest.fromFirstOccurrenceOf ("build", false, false));
    return v;
}

bool FirmwareUpdateElement::isUsable() const
{
    if (status < statusPublic || status > statusCustom)
        return false;
    if (imageFile.isEmpty() || ! juce::File::isAbsolutePath (imageFile))
        return false;
    const juce::File file (imageFile);
    return status == statusCustom ? file.existsAsFile() : FirmwareImage::isWhole (file);
}

void FirmwareUpdateElement::getDataVersionChanges (const DeviceDataFormat& unitFormat,
                                                   bool& presetChanges, bool& setupChanges) const
{
    auto* content = getContentManager();
    if (content == nullptr)
        return;

    auto caps = content->createDeviceCaps (unitFormat.productId, version.build);
    if (caps == nullptr)
        return;

    presetChanges = caps->getPresetVersion() != unitFormat.presetVersion;
    setupChanges = caps->getSetupVersion() != unitFormat.setupVersion;
}

juce::StringArray FirmwareUpdateElement::getDescriptionLines() const
{
    juce::StringArray lines;
    for (auto* line : description->getChildWithTagNameIterator ("line"))
        lines.add (line->getAllSubText());
    return lines;
}

juce::String formatFirmwareVersion (const VersionNumber& version, bool withProcessorNumber)
{
    auto text = juce::String::formatted ("%d.%1d.%02d", (int) version.major, (int) version.minor, (int) version.revision)
              + juce::String::formatted (" build %d", (int) version.build);

    const auto typeName = getBuildTypeSuffix (version, true);
    if (typeName.isNotEmpty())
        text << "  [" << typeName.toLowerCase() << "]";

    if (withProcessorNumber)
        text << juce::String::formatted (" (mcu %d)", (int) version.last);

    return text;
}
