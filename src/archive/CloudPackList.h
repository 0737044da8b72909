#pragma once

#include "archive/DataSourceTree.h"
#include "model/VersionNumber.h"
#include <map>

class ConversionContent;

// The maker's preset packs of one product, as the "Cloud" branch of the data-source
// tree. The packs are unpacked into the product's packs folder by the content
// synchronisation; every archive description below that folder becomes an item, and
// every subfolder a group. Pack data of another data version than the connected unit's
// is converted and saved in place. Items are confined to the packs folder: a pack whose
// description names files elsewhere, is invalid, or does not convert is left out.
//
// Also the developer tools that build packs from an online archive list ("PRESETS").
class CloudPackList
{
public:
    // The connected unit's product, data format and firmware version; `content` is where
    // conversions take their rules and profiles (null: the content manager).
    CloudPackList (juce::uint8 productId, const DeviceDataFormat& unitFormat, const VersionNumber& unitVersion,
                   const ConversionContent* content = nullptr);

    // The "Cloud" category node with the packs; the data page takes it into its tree.
    juce::ValueTree getNode() const     { return node; }
    juce::uint8 getProductId() const    { return productId; }

    // One group node per subfolder of the packs folder (recursive, by name), reusing a
    // node of the same label.
    void buildPackGroupNodes (juce::ValueTree category, const juce::File& packsFolder);

    // The group node of a pack file's folder; the category node for the packs folder itself.
    juce::ValueTree findPackGroupNode (juce::ValueTree category, const juce::File& packsFolder,
                                       const juce::File& folder) const;

    // One archive node per usable pack description. `saved`, when given, receives the files of
    // the packs converted and saved in place.
    void loadPacksIntoTree (juce::ValueTree category, juce::Array<juce::File>* saved = nullptr);

    // Whether the packs folder holds what it held when the packs were listed: no pack came,
    // went or changed. Cheap: it reads the folder's listing and the small descriptions only.
    bool isCurrent() const;
    // Lists the packs again under the same "Cloud" node.
    void reload();

    //==============================================================================
    // Developer tools. Every failure is shown in an "Error" box and skips the entry.

    // "YYYYMMDDhhmmss" as local time; the current time for anything else.
    static juce::Time parseArchiveDate (const juce::String& digits);

    // Builds one pack item from an "archive" entry of a list: loads its data, converts
    // it to the target build, names its picture and date, and saves it as `outFile`
    // (with the data file beside it). Data named by a web address is read on a worker behind
    // a progress window; when the user cancels that read, or the program quits meanwhile, the
    // entry fails without a word and `stopped` is set.
    static bool convertArchiveListEntry (const juce::XmlElement& entry, juce::uint8 targetProduct,
                                         const VersionNumber& targetVersion, const juce::File& outFile,
                                         const ConversionContent* content = nullptr, bool* stopped = nullptr);

    // Converts every entry of a list (asked for when `listLocation` is empty) into a
    // "temp" folder beside the list. Returns the number of entries converted. A read that is
    // stopped ends the conversion there and sets `stopped`.
    static int convertPresetPack (const juce::String& listLocation, const ConversionContent* content = nullptr,
                                  bool* stopped = nullptr);

    // Asks for a folder and converts the "presets.xml" of each of its subfolders, until a
    // conversion is stopped.
    static void convertPresetPackFolder (const ConversionContent* content = nullptr);

private:
    juce::uint8 productId;
    DeviceDataFormat unitFormat;
    VersionNumber unitVersion;
    const ConversionContent* content;
    juce::ValueTree node;
    std::map<juce::String, juce::String> listedFolderState;   // by place below the packs folder
};
