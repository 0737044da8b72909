#include "archive/DeviceDataArchive.h"
#include "archive/ConfinedFiles.h"
#include "archive/WholeXmlFile.h"
#include "core/WebAddress.h"
#include "core/EmbeddedResources.h"
#include "model/AtomicFileWriter.h"

namespace
{
    std::unique_ptr<juce::Drawable> drawableFromResource (const juce::String& key)
    {
        int size = 0;
        if (auto* bytes = getEmbeddedResource (key, size))
            return juce::Drawable::createFromImageData (bytes, (size_t) size);
        return {};
    }

    std::unique_ptr<juce::Drawable> drawableFromImage (const juce::Image& image)
    {
        if (! image.isValid())
            return {};
        auto d = std::make_unique<juce::DrawableImage>();
        d->setImage (image);
        return d;
    }

    // Pictures named by a link are small; anything bigger is not one.
    constexpr size_t maxPictureBytes = 16 * 1024 * 1024;
    // Nor is a description this large.
    constexpr juce::int64 maxDescriptionBytes = 1024 * 1024;

    juce::XmlElement::TextFormat descriptionFormat()
    {
        juce::XmlElement::TextFormat format;
        format.customEncoding = "UTF-8";
        return format;
    }

    juce::String textOf (const juce::XmlElement& root, const char* tag)
    {
        if (auto* e = root.getChildByName (tag))
            return e->getAllSubText();
        return {};
    }

    void appendText (juce::MemoryOutputStream& out, const juce::String& text)
    {
        out.write (text.toRawUTF8(), text.getNumBytesAsUTF8());
    }
}

//==============================================================================
DeviceDataArchive::DeviceDataArchive (const juce::XmlElement& element, const juce::File& home)
    : uuid (juce::Uuid::null()), homeFolder (home)
{
    valid = loadFromXml (element);
}

DeviceDataArchive::DeviceDataArchive (const DeviceData* source, const juce::String& t, const juce::String& d)
    : arVersion (getApplicationVersionNumber().build),
      authorId (1),
      authorName ("Larkspire"),
      title (t),
      description (d),
      pubDate (juce::Time::currentTimeMillis()),
      linkImage ("*")
{
    if (source != nullptr)
        data = source->createFullCopy (false);
    valid = data != nullptr;
    picture = createDefaultPicture();
    refreshSummary();
    modified = true;
}

DeviceDataArchive::DeviceDataArchive (const DeviceDataArchive& o)
    : DeviceDataArchiveBase(),
      arVersion (o.arVersion),
      authorId (o.authorId),
      authorName (o.authorName),
      title (o.title),
      description (o.description),
      pubDate (o.pubDate),
      linkImage (o.linkImage),
      productId (o.productId),
      buildNo (o.buildNo),
      hasPresets (o.hasPresets),
      hasCompleteSetup (o.hasCompleteSetup),
      presetNames (o.presetNames),
      presetIndices (o.presetIndices),
      modified (true),
      valid (o.valid),
      homeFolder (o.homeFolder)
{
    picture = o.picture != nullptr ? o.picture->createCopy() : createDefaultPicture();
    if (o.data != nullptr)
        data = o.data->createFullCopy (false);
}

DeviceDataArchive::~DeviceDataArchive()
{
    masterReference.clear();
    picture.reset();
    data.reset();
}

std::unique_ptr<DeviceDataArchiveBase> DeviceDataArchive::createArchiveCopy() const
{
    return std::make_unique<DeviceDataArchive> (*this);
}

//==============================================================================
bool DeviceDataArchive::isUsableLocalFile (const juce::File& file) const
{
    return ConfinedFiles::isReadableFile (file, homeFolder);
}

bool DeviceDataArchive::loadFromXml (const juce::XmlElement& root)
{
    data.reset();
    bool ok = root.hasTagName ("ARCHIVE");

    const auto uuidText = textOf (root, "uuid").trim();
    if (uuidText.isEmpty())
        ok = false;
    uuid = juce::Uuid (uuidText);

    md5 = textOf (root, "md5");
    if (md5.length() != 32)
        ok = false;

    arVersion = textOf (root, "arVersion").getIntValue();

    if (auto* product = root.getChildByName ("product"))
        productId = (juce::uint8) (product->getStringAttribute ("sysexId").getHexValue32() & 0xFF);
    else
        ok = false;

    buildNo = textOf (root, "buildNo").getIntValue();

    if (auto* author = root.getChildByName ("author"))
    {
        authorName = author->getStringAttribute ("name");
        authorId = author->getIntAttribute ("id", -1);
    }
    else
    {
        ok = false;
    }

    title = textOf (root, "title");
    description = textOf (root, "description");
    pubDate = textOf (root, "pubDate").getLargeIntValue();
    linkImage = textOf (root, "linkImage").trim();
    linkData = textOf (root, "linkData");

    resolvePicture();

    // Only a plain file inside the item's own folder is ever read as its data.
    const auto dataFile = ConfinedFiles::resolve (linkData, homeFolder);
    if (isUsableLocalFile (dataFile))
        data = DeviceData::createFromFile (dataFile.getFullPathName());

    refreshSummary();
    modified = false;
    return ok && data != nullptr;
}

void DeviceDataArchive::resolvePicture()
{
    picture.reset();

    if (linkImage.startsWith ("*"))
    {
        const auto name = linkImage.substring (1);
        if (name.endsWith ("png"))
            picture = drawableFromResource (getEmbeddedResourceKey (name.dropLastCharacters (3) + "svg"));

        if (picture == nullptr && name.isNotEmpty())
        {
            int size = 0;
            if (auto* bytes = getEmbeddedResource (getEmbeddedResourceKey (name), size))
                picture = drawableFromImage (juce::ImageCache::getFromMemory (bytes, size));
        }

        if (picture == nullptr)
            picture = createDefaultPicture();
        return;
    }

    // A picture named by a web address is never fetched: the link comes from content that
    // could point anywhere, and items are loaded on the message thread, which must not wait
    // on the web. The default picture stands in for it.
    if (isWebAddress (linkImage))
    {
        picture = createDefaultPicture();
        return;
    }

    // A picture file, which must lie in the item's own folder.
    std::unique_ptr<juce::InputStream> stream;
    const auto file = ConfinedFiles::resolve (linkImage, homeFolder);
    if (isUsableLocalFile (file) && file.getSize() <= (juce::int64) maxPictureBytes)
        stream = file.createInputStream();

    if (stream != nullptr)
    {
        juce::MemoryBlock bytes;
        if (stream->readIntoMemoryBlock (bytes, (ssize_t) maxPictureBytes) > 0)
            picture = drawableFromImage (juce::ImageFileFormat::loadFrom (bytes.getData(), bytes.getSize()));
    }

    if (picture == nullptr)
        picture = createMissingPicture();
}

std::unique_ptr<juce::Drawable> DeviceDataArchive::createDefaultPicture()
{
    return drawableFromResource ("archive_default_svg");
}

std::unique_ptr<juce::Drawable> DeviceDataArchive::createMissingPicture()
{
    return drawableFromResource ("archive_missing_svg");
}

//==============================================================================
void DeviceDataArchive::refreshSummary()
{
    if (data != nullptr)
    {
        productId = data->getProductId();
        buildNo = data->getVersion().build;
        presetIndices = data->getPresetIndices();
        presetNames = data->getPresetNames (presetIndices);
        hasPresets = ! presetIndices.isEmpty();
        hasCompleteSetup = data->getSetup().isComplete();
    }
    else
    {
        productId = 255;
        buildNo = 0;
        hasPresets = false;
        hasCompleteSetup = false;
        presetIndices.clear();
        presetNames.clear();
    }
}

// The checksum covers, in this order: the digest of every filled preset slot from
// slot 1 on, the setup's digest when it is complete, the texts of uuid, arVersion,
// authorId, authorName, title, description and pubDate, and the picture (the
// resource link for a built-in picture, else a bitmap picture as PNG).
void DeviceDataArchive::computeMd5()
{
    juce::MemoryOutputStream out (256);

    if (data != nullptr)
    {
        for (int i = 1; i < data->getNumSlots(); ++i)
            if (auto* p = data->getPreset (i))
                out << p->getMd5().getRawChecksumData();

        if (data->getSetup().isComplete())
            out << data->getSetup().getMd5().getRawChecksumData();
    }

    appendText (out, uuid.toString());
    appendText (out, juce::String (arVersion));
    appendText (out, juce::String (authorId));
    appendText (out, authorName);
    appendText (out, title);
    appendText (out, description);
    appendText (out, juce::String (pubDate));

    if (linkImage.startsWith ("*"))
    {
        appendText (out, linkImage);
    }
    else if (auto* bitmap = dynamic_cast<juce::DrawableImage*> (picture.get()))
    {
        juce::PNGImageFormat png;
        png.writeImageToStream (bitmap->getImage(), out);
    }

    md5 = juce::MD5 (out.getMemoryBlock()).toHexString();
}

//==============================================================================
std::unique_ptr<juce::XmlElement> DeviceDataArchive::createMetaXml() const
{
    return createMetaXml (linkData);
}

std::unique_ptr<juce::XmlElement> DeviceDataArchive::createMetaXml (const juce::String& dataLink) const
{
    auto root = std::make_unique<juce::XmlElement> ("ARCHIVE");

    auto addText = [&root] (const char* tag, const juce::String& text)
    {
        root->createNewChildElement (tag)->addTextElement (text);
    };

    addText ("uuid", uuid.toString());
    addText ("md5", md5);
    addText ("arVersion", juce::String (arVersion));
    root->createNewChildElement ("product")->setAttribute ("sysexId", juce::String::toHexString ((int) productId)
                                                                          .paddedLeft ('0', 2).toUpperCase());
    addText ("buildNo", juce::String (buildNo));
    auto* author = root->createNewChildElement ("author");
    author->setAttribute ("name", authorName);
    author->setAttribute ("id", authorId);
    addText ("title", title);
    addText ("description", description);
    addText ("pubDate", juce::String (pubDate));
    addText ("linkImage", linkImage);
    addText ("linkData", dataLink);
    return root;
}

juce::File DeviceDataArchive::getDataFile (const juce::File& metaFile) const
{
    return dataFileOf (linkData, metaFile);
}

juce::File DeviceDataArchive::dataFileOf (const juce::String& link, const juce::File& metaFile)
{
    const auto file = ConfinedFiles::resolve (link, metaFile.getParentDirectory());
    return file == juce::File() ? file : file.withFileExtension ("ard");
}

bool DeviceDataArchive::save (const juce::File& metaFile)
{
    computeMd5();

    // An item that belongs somewhere writes only there.
    const bool confined = homeFolder != juce::File();
    if (metaFile == juce::File() || metaFile.isDirectory()
        || (confined && ! ConfinedFiles::isWritableFile (metaFile, homeFolder)))
        return false;

    // The data link the new description names. The item takes it only once both files are
    // in place, so that after a failure it still names the files on disk.
    auto link = linkData;
    juce::File dataFile;
    if (data != nullptr)
    {
        // Without a data file name yet, the data goes beside the description.
        if (link.trim().isEmpty())
            link = metaFile.withFileExtension ("ard").getFullPathName();

        dataFile = dataFileOf (link, metaFile);
        if (dataFile == juce::File() || (confined && ! ConfinedFiles::isWritableFile (dataFile, homeFolder)))
            return false;

        // The data goes to the ".ard" file whatever the link ended in: the description must
        // name that file, in the form the link had, or it never reads back.
        const auto folder = metaFile.getParentDirectory();
        if (ConfinedFiles::resolve (link, folder) != dataFile)
            link = juce::File::isAbsolutePath (link.trim()) ? dataFile.getFullPathName()
                                                            : dataFile.getRelativePathFrom (folder);

        if (! dataFile.getParentDirectory().createDirectory())
            return false;
    }

    auto xml = createMetaXml (link);
    if (xml == nullptr)
        return false;

    // Both files are written whole under their temporaries before either is replaced; then
    // the data goes first and the description that names it last. A save cut short after
    // the data was replaced leaves the whole new description in its temporary, which
    // finishInterruptedSave puts in place, so data and description always match.
    std::unique_ptr<AtomicFileWriter> dataWriter;
    if (data != nullptr)
    {
        dataWriter = std::make_unique<AtomicFileWriter> (dataFile, dataTemporaryFor (metaFile));
        auto* out = dataWriter->getStream();
        if (out == nullptr || data->writeToStream (*out) != 0 || ! dataWriter->finish())
            return false;
    }

    AtomicFileWriter metaWriter (metaFile);
    auto* out = metaWriter.getStream();
    if (out == nullptr)
        return false;
    xml->writeTo (*out, descriptionFormat());
    if (! metaWriter.finish())
        return false;

    if (dataWriter != nullptr && ! dataWriter->commit())
        return false;
    if (! metaWriter.commit())
        return false;

    linkData = link;
    if (data != nullptr)
        data->clearModifiedFlags (false);
    modified = false;
    return true;
}

juce::File DeviceDataArchive::dataTemporaryFor (const juce::File& metaFile)
{
    return metaFile.getSiblingFile ("." + metaFile.getFileName() + ".data.tmp");
}

void DeviceDataArchive::finishInterruptedSave (const juce::File& metaFile)
{
    const auto dataTemporary = dataTemporaryFor (metaFile);
    const auto metaTemporary = AtomicFileWriter::temporaryFor (metaFile);

    // The temporaries of a save of this description still running in this process are that
    // save's own: wait until it has ended (whole, or undone) instead of taking them. Claimed
    // in the order a save claims them.
    const AtomicFileWriter::ScopedClaim dataClaim (dataTemporary), metaClaim (metaTemporary);

    // The temporaries are plain files of the program's own: a link by such a name (which
    // content could bring along) is removed, never followed.
    for (auto& temporary : { dataTemporary, metaTemporary })
        if (temporary.isSymbolicLink())
            temporary.deleteFile();

    // The data's temporary is still there: nothing was replaced yet, the old pair stands.
    if (dataTemporary.existsAsFile())
    {
        dataTemporary.deleteFile();
        metaTemporary.deleteFile();
        return;
    }

    // Only the description's temporary: the data may already be the new one. A whole
    // description takes its place; anything else goes.
    if (! metaTemporary.existsAsFile())
        return;
    auto xml = WholeXmlFile::parse (metaTemporary, maxDescriptionBytes);
    if (xml == nullptr || ! xml->hasTagName ("ARCHIVE") || ! metaTemporary.replaceFileIn (metaFile))
        metaTemporary.deleteFile();
}

void DeviceDataArchive::deleteFiles (const juce::String& linkData, const juce::File& homeFolder)
{
    const auto dataFile = ConfinedFiles::resolve (linkData, homeFolder);
    if (dataFile == juce::File())
        return;

    for (const auto& f : { dataFile, dataFile.withFileExtension ("xml") })
    {
        const bool allowed = homeFolder != juce::File() ? ConfinedFiles::isReadableFile (f, homeFolder)
                                                        : (f.existsAsFile() && ! f.isSymbolicLink());
        if (allowed)
            f.deleteFile();
    }
}

//==============================================================================
juce::BigInteger DeviceDataArchive::convertData (const VersionNumber& targetVersion, juce::String& errorText,
                                                 DataConversionManager::Listener* listener,
                                                 const ConversionContent* content)
{
    return convertData (data != nullptr ? data->getProductId() : productId, targetVersion, errorText, listener, content);
}

juce::BigInteger DeviceDataArchive::convertData (juce::uint8 targetProduct, const VersionNumber& targetVersion,
                                                 juce::String& errorText, DataConversionManager::Listener* listener,
                                                 const ConversionContent* content)
{
    if (data == nullptr)
    {
        // Nothing to convert is an internal misuse, not a fault of any rule.
        juce::BigInteger bits;
        bits.setBit (DataConversionManager::internalError);
        errorText = DataConversionManager::getErrorBitsText (bits);
        return bits;
    }

    auto manager = content != nullptr ? std::make_unique<DataConversionManager> (*content)
                                      : std::make_unique<DataConversionManager>();
    if (listener != nullptr)
        manager->addListener (listener);

    if (auto converted = manager->convertDeviceData (*data, targetProduct, targetVersion))
    {
        data = std::move (converted);
        uuid = juce::Uuid();
        refreshSummary();
        modified = true;
        computeMd5();
    }

    errorText = manager->getErrorText();
    return manager->getErrors();
}

//==============================================================================
void DeviceDataArchive::changed()
{
    modified = true;
    md5.clear();
}

bool DeviceDataArchive::setData (const DeviceData& source)
{
    if (data == nullptr || ! data->hasSameFormat (source.getFormat()))
        return false;
    auto copy = source.createFullCopy (false);
    if (copy == nullptr)
        return false;
    data = std::move (copy);
    refreshSummary();
    changed();
    return true;
}

void DeviceDataArchive::setLinkData (const juce::String& path)
{
    if (path != linkData)
    {
        linkData = path;
        changed();
    }
}

void DeviceDataArchive::setLinkImage (const juce::String& link)
{
    if (link != linkImage)
    {
        linkImage = link.trim();
        resolvePicture();
        changed();
    }
}

void DeviceDataArchive::setTitle (const juce::String& text)
{
    if (text != title)
    {
        title = text;
        changed();
    }
}

void DeviceDataArchive::setDescription (const juce::String& text)
{
    if (text != description)
    {
        description = text;
        changed();
    }
}

void DeviceDataArchive::setPubDate (juce::int64 time)
{
    if (time != pubDate)
    {
        pubDate = time;
        changed();
    }
}

void DeviceDataArchive::setModified (bool shouldBeModified)
{
    modified = shouldBeModified;
    if (shouldBeModified)
        md5.clear();
}

bool DeviceDataArchive::writeXmlFile (const juce::XmlElement& xml, const juce::File& file)
{
    return AtomicFileWriter::replaceWithXml (file, xml, descriptionFormat());
}

juce::String DeviceDataArchive::getDateText() const
{
    return juce::Time (pubDate).formatted ("%b %d, %Y - %I:%M %p");
}
