#pragma once

#include "model/FactoryBank.h"
#include "model/Preset.h"
#include "model/SetupData.h"
#include "model/VersionNumber.h"

class AtomicFileWriter;

// One unit's data: the preset slots, the setup, the format and firmware version
// they belong to, and the factory-preset digests. Slot 0 exists but is not a user
// preset: modification and change checks start at slot 1.
//
// The slot operations are in DeviceData.cpp, the SysEx files in DeviceDataSysEx.cpp and
// the binary data file in DeviceDataFile.cpp.
class DeviceData
{
public:
    // Product name from the installed product-name lookup; as many empty slots as
    // the format has presets (at most DeviceDataFormat::maxSlots); the factory bank
    // copied from `bank`, or looked up for the product and build when none is given.
    DeviceData (const VersionNumber& version, const DeviceDataFormat& format, const FactoryBank* bank);
    ~DeviceData();

    const juce::String& getProductName() const noexcept { return productName; }
    const VersionNumber& getVersion() const noexcept { return version; }
    const DeviceDataFormat& getFormat() const noexcept { return format; }
    juce::uint8 getProductId() const noexcept { return format.productId; }
    int getNumSlots() const noexcept { return presets.size(); }
    const FactoryBank* getFactoryBank() const noexcept { return factoryBank.get(); }
    SetupData& getSetup() noexcept { return setup; }
    const SetupData& getSetup() const noexcept { return setup; }

    //==============================================================================
    // Slots. An index outside 0 .. slots-1 is refused (false, null or no effect).
    bool hasPreset (int index) const;
    Preset* getPreset (int index) const;
    Preset* createPreset (int index);
    // Takes the preset; a refused index deletes it. Returns whether it was placed.
    bool setPreset (int index, std::unique_ptr<Preset> preset);
    void removePreset (int index);
    void removePresets (const juce::Array<int>& indices);
    void removeAllPresets();
    // No presets and no setup: what a read starts from.
    void clear();
    int countPresets() const;
    juce::Array<int> getPresetIndices() const;
    juce::Array<int> getPresetIndices (int first, int last) const;
    juce::Array<int> getEmptySlots (int last) const;
    juce::StringArray getPresetNames (const juce::Array<int>& indices) const;

    bool isPresetModified (int index) const;
    void setPresetModified (int index, bool modified);
    bool isModified() const;
    void setModified (bool shouldBeModified) noexcept { modified = shouldBeModified; }
    void clearModifiedFlags (bool onlyIfNothingPending);

    bool differsFromFactoryPreset (int index) const;
    int countNonFactoryPresets() const;
    juce::Array<int> getNonFactoryPresetIndices() const;

    void collectPresetChanges (const DeviceData& reference, juce::Array<int>& outMissing,
                               juce::Array<int>& outModified) const;

    bool setSetup (const SetupData& newSetup, bool markModified);
    void clearSetup();

    // Product id, preset data version and setup data version.
    bool hasSameFormat (const DeviceDataFormat& other) const noexcept;
    bool hasGapsBetweenPresets() const;

    void compactPresets (int last);
    void copyPresetFrom (int index, const DeviceData& source);
    void copyPresetTo (int target, int sourceIndex, const DeviceData& source);

    // The slots an insertion at `position` touches; it fits when n of them are empty.
    juce::Array<int> getInsertSlots (int position, const juce::Array<int>& sourceSlots) const;
    bool insertionFits (int position, const juce::Array<int>& sourceSlots) const;
    // Inserts copies of the source's presets at `position`, shifting the presets there
    // up into the next empty slots. Refused (false, nothing changes) unless there is
    // room for every shifted preset.
    bool insertPresets (int position, const juce::Array<int>& sourceSlots, const DeviceData& source);

    void swapPresets (int a, int b, DeviceData& other);

    std::unique_ptr<DeviceData> createCopy (const juce::Array<int>& indices, bool withSetup, bool clearFlags) const;
    std::unique_ptr<DeviceData> createFullCopy (bool clearFlags) const;
    void mergeFrom (const DeviceData& other);

    //==============================================================================
    // SysEx files. Every file is replaced as a whole or left as it was.
    bool exportPresetSysEx (const juce::File& file, int index, bool append) const;
    bool exportPresetsSysEx (const juce::File& file, const juce::Array<int>& indices) const;
    bool exportSetupSysEx (const juce::File& file) const;
    // Reads a SysEx file's presets and setup into this data; the flag word says what
    // was found and why the walk ended (see SysExFlags).
    juce::uint32 importSysEx (const juce::String& location, juce::Array<int>& usedSlots, int firstSlot);
    juce::uint32 importSysExData (const void* data, size_t size, juce::Array<int>& usedSlots, int firstSlot);
    // The factory-bank file's content: the digest of every whole preset.
    std::unique_ptr<juce::XmlElement> createFactoryBank() const;

    // The largest SysEx or data file read whole.
    static constexpr size_t maxFileSize = 128 * 1024 * 1024;

    //==============================================================================
    // The binary data file. Results: 0 written, 1 data that cannot be stored whole
    // (an incomplete preset or setup, or a format or data version that the reader refuses,
    // which would give a file that never reads back), 2 no product name, or the file could not
    // be written. A failed write leaves the file as it was.
    int writeToFile (const juce::File& file) const;
    int writeToStream (juce::OutputStream& out) const;
    static std::unique_ptr<DeviceData> createFromFile (const juce::String& location);
    static std::unique_ptr<DeviceData> createFromData (const void* data, size_t size);
    bool isFileCompatible (const juce::File& file) const;
    int saveDataFile (const juce::File& folder, bool working) const;

private:
    struct NoBankLookup {};
    DeviceData (const VersionNumber&, const DeviceDataFormat&, const FactoryBank*, NoBankLookup);
    void initialiseSlots();
    bool hasReadableHeader() const noexcept;
    // Writes the data file through the writer and commits it; a result as writeToFile's.
    int writeThrough (AtomicFileWriter& writer) const;
    std::unique_ptr<Preset> copyOfPreset (const Preset& p) const;

    juce::String productName;
    VersionNumber version;
    DeviceDataFormat format;
    juce::OwnedArray<Preset> presets;
    SetupData setup;
    std::unique_ptr<FactoryBank> factoryBank;
    bool modified = false;

    JUCE_DECLARE_WEAK_REFERENCEABLE (DeviceData)
    JUCE_DECLARE_NON_COPYABLE (DeviceData)
};
