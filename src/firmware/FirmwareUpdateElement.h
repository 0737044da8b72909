#pragma once

#include "model/DeviceDataFormat.h"
#include "model/VersionNumber.h"
#include <memory>

// One firmware image a unit can be updated to: an entry of a product's firmware list
// or a custom image file the user picked.
class FirmwareUpdateElement
{
public:
    enum Status : int
    {
        statusPublic  = 0,
        statusBeta    = 1,
        statusAlpha   = 2,
        statusCustom  = 3,
        statusExpired = 4,
        statusRevoked = 5,
        statusUnknown = 6
    };

    // Status unknown, date 0, an empty "description", a zero version, no link, no image.
    FirmwareUpdateElement();

    // Reads one "firmwareUpdate" entry of a firmware list; its image is the last segment
    // of its link inside `firmwareFolder`.
    FirmwareUpdateElement (const juce::XmlElement& entry, const juce::String& firmwareFolder);

    // A custom image file with the version the user gave it; unknown when the file is missing.
    FirmwareUpdateElement (const juce::String& imageFilePath, const VersionNumber& version);

    FirmwareUpdateElement (const FirmwareUpdateElement& other);
    FirmwareUpdateElement& operator= (const FirmwareUpdateElement& other);
    virtual ~FirmwareUpdateElement() = default;

    // "public" 0, "beta" 1, "alpha" 2, "expired" 4, "revoked" 5 (any case); else 6.
    static int parseStatus (const juce::String& text);

    // Reads a version text such as "b 2.1.05 build 1234".
    static VersionNumber parseVersionText (const juce::String& text);

    // The status is public, beta, alpha or custom, and the image is there: for a list entry a
    // whole image (FirmwareImage::isWhole), as a piece of one is as good as none; for the
    // user's own image its file, which the update's pre-check then judges, saying what is wrong.
    bool isUsable() const;

    // Whether updating a unit of the given data format to this build changes its preset
    // and setup data versions, judged by the capability profile of this build. Without a
    // profile both outputs stay as they were.
    void getDataVersionChanges (const DeviceDataFormat& unitFormat, bool& presetChanges, bool& setupChanges) const;

    int getStatus() const noexcept                   { return status; }
    void setStatus (int newStatus) noexcept          { status = newStatus; }
    juce::int64 getReleaseDate() const noexcept      { return releaseDate; }
    const juce::XmlElement& getDescription() const   { return *description; }
    juce::StringArray getDescriptionLines() const;
    const VersionNumber& getVersion() const noexcept { return version; }
    int getBuild() const noexcept                    { return version.build; }
    const juce::String& getLink() const noexcept     { return link; }
    const juce::String& getImageFile() const noexcept { return imageFile; }

private:
    int status = statusUnknown;
    juce::int64 releaseDate = 0;
    std::unique_ptr<juce::XmlElement> description;
    VersionNumber version;
    juce::String link;
    juce::String imageFile;
};

// "%d.%1d.%02d build %d" of major, minor, revision and build; then two blanks and the
// build type's name in lower case in brackets, when it has one; then " (mcu %d)" of the
// sixth number when asked.
juce::String formatFirmwareVersion (const VersionNumber& version, bool withProcessorNumber);
