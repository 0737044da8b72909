#pragma once

#include "model/DeviceData.h"
#include "conversion/DataConversionManager.h"
#include "model/DeviceDataArchiveBase.h"
#include <juce_gui_basics/juce_gui_basics.h>

// One archive item: a unit's data, kept as a binary data file, together with its
// "ARCHIVE" description (identity, checksum, author, title, description, date,
// picture) kept as an XML file beside it.
//
// An item read from a description belongs to a home folder (the product's data
// folder for backups, the packs folder for preset packs): the data file and a local
// picture file it names are only used when they are plain files inside that folder,
// and the item only ever writes or deletes files there.
class DeviceDataArchive : public DeviceDataArchiveBase
{
public:
    // From a parsed "ARCHIVE" element; isValid() tells whether it described a
    // readable item. Relative paths in it are taken below `homeFolder`.
    DeviceDataArchive (const juce::XmlElement& element, const juce::File& homeFolder);

    // A new item holding a full copy of the data (invalid when there is none).
    DeviceDataArchive (const DeviceData* data, const juce::String& title, const juce::String& description);

    // A copy with its own identity: new uuid, no checksum, no data file yet.
    DeviceDataArchive (const DeviceDataArchive& other);

    ~DeviceDataArchive() override;

    //==============================================================================
    // Reads the description (and the data file it names); true when the data was read.
    bool loadFromXml (const juce::XmlElement& element);

    // Writes the data file (named by linkData; a relative name lies beside the
    // description) and then the description, each replaced as a whole. Any failure
    // returns false and leaves the files that were there before as they were.
    bool save (const juce::File& metaFile);

    // Call before reading a description: completes or undoes a save of it that was cut
    // short, so that the description and the data file it names match, and removes the
    // save's temporary files.
    static void finishInterruptedSave (const juce::File& metaFile);

    // The description as an "ARCHIVE" element.
    std::unique_ptr<juce::XmlElement> createMetaXml() const;

    // Deletes the data file and the description of the same name ("xml"), when they
    // are plain files (inside the home folder, for an item that has one).
    void deleteFiles() { deleteFiles (linkData, homeFolder); }
    static void deleteFiles (const juce::String& linkData, const juce::File& homeFolder);

    // The checksum of data and description (see the class notes in the source).
    void computeMd5();

    // Converts the data to the data versions of a build of the same product (or of
    // the given product). When converted data results it replaces the item's data and
    // the item gets a new identity; no file is touched: the caller saves the item and
    // removes old files once the new ones are safe. Returns the error bits (empty on
    // success) and the text to show for them. `content` is where rules and profiles
    // come from (null: the content manager).
    juce::BigInteger convertData (const VersionNumber& target, juce::String& errorText,
                                  DataConversionManager::Listener* listener,
                                  const ConversionContent* content = nullptr);
    juce::BigInteger convertData (juce::uint8 targetProduct, const VersionNumber& target, juce::String& errorText,
                                  DataConversionManager::Listener* listener,
                                  const ConversionContent* content = nullptr);

    // Re-derives product, build, preset list and setup state from the data.
    void refreshSummary();

    // Replaces the data by a full copy of `source`, which must have the same
    // product and data versions. False (nothing changes) otherwise.
    bool setData (const DeviceData& source);

    // Setters: a changed value marks the item modified and drops the checksum.
    void setLinkData (const juce::String& path);
    void setLinkImage (const juce::String& link);
    void setTitle (const juce::String& text);
    void setDescription (const juce::String& text);
    void setPubDate (juce::int64 millisecondsSince1970);
    void setModified (bool shouldBeModified);

    // Where the item's files may be; an item made from data has none until it is
    // given a place to be saved.
    const juce::File& getHomeFolder() const noexcept { return homeFolder; }
    void setHomeFolder (const juce::File& folder) { homeFolder = folder; }

    //==============================================================================
    const juce::Uuid& getUuid() const noexcept { return uuid; }
    const juce::String& getMd5() const noexcept { return md5; }
    int getArVersion() const noexcept { return arVersion; }
    int getAuthorId() const noexcept { return authorId; }
    const juce::String& getAuthorName() const noexcept { return authorName; }
    const juce::String& getTitle() const noexcept { return title; }
    const juce::String& getDescription() const noexcept { return description; }
    juce::int64 getPubDate() const noexcept { return pubDate; }
    const juce::String& getLinkData() const noexcept { return linkData; }
    const juce::String& getLinkImage() const noexcept { return linkImage; }
    juce::uint8 getProductId() const noexcept { return productId; }
    int getBuildNo() const noexcept { return buildNo; }
    bool getHasPresets() const noexcept { return hasPresets; }
    bool getHasCompleteSetup() const noexcept { return hasCompleteSetup; }
    const juce::StringArray& getPresetNames() const noexcept { return presetNames; }
    const juce::Array<int>& getPresetIndices() const noexcept { return presetIndices; }
    juce::Drawable* getPicture() const noexcept { return picture.get(); }
    bool isModified() const noexcept { return modified; }
    bool isValid() const noexcept { return valid; }

    // "Mon dd, yyyy - hh:mm AM" of the creation time, in local time.
    juce::String getDateText() const;

    // The data file as a file: linkData below the given description's folder when
    // it is relative, with the extension ".ard".
    juce::File getDataFile (const juce::File& metaFile) const;

    DeviceData* getData() const override { return data.get(); }
    std::unique_ptr<DeviceDataArchiveBase> createArchiveCopy() const override;

    // Writes an XML document (UTF-8, no DTD) as a whole replacement of the file.
    static bool writeXmlFile (const juce::XmlElement& xml, const juce::File& file);

    // The built-in pictures.
    static std::unique_ptr<juce::Drawable> createDefaultPicture();
    static std::unique_ptr<juce::Drawable> createMissingPicture();

private:
    // Where save writes the data before it replaces the data file.
    static juce::File dataTemporaryFor (const juce::File& metaFile);
    // The data file a data link names, for a description at metaFile.
    static juce::File dataFileOf (const juce::String& link, const juce::File& metaFile);
    std::unique_ptr<juce::XmlElement> createMetaXml (const juce::String& dataLink) const;
    void resolvePicture();
    void changed();
    bool isUsableLocalFile (const juce::File& file) const;

    juce::Uuid uuid;
    juce::String md5;
    int arVersion = 0;
    int authorId = -1;
    juce::String authorName;
    juce::String title;
    juce::String description;
    juce::int64 pubDate = 0;
    juce::String linkData;
    juce::String linkImage;
    juce::uint8 productId = 255;
    int buildNo = 0;
    bool hasPresets = false;
    bool hasCompleteSetup = false;
    juce::StringArray presetNames;
    juce::Array<int> presetIndices;
    std::unique_ptr<juce::Drawable> picture;
    std::unique_ptr<DeviceData> data;
    bool modified = false;
    bool valid = false;
    juce::File homeFolder;

    DeviceDataArchive& operator= (const DeviceDataArchive&) = delete;
    JUCE_DECLARE_WEAK_REFERENCEABLE (DeviceDataArchive)
};
