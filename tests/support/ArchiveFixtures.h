#pragma once

#include "archive/DeviceDataArchive.h"
#include "support/DataFixtures.h"
#include <map>

// Unit data, archive items and archive descriptions for the archive tests.
namespace testing_support
{
    // Data of the small test product with presets in the given slots (names "P<slot>",
    // distinct content per seed) and, when wanted, a complete setup.
    std::unique_ptr<DeviceData> makeUnitData (const DeviceDataFormat& format, const juce::Array<int>& slots,
                                              int seed, bool withSetup = true);

    // Writes an item made from the data as "<name>.ard" / "<name>.xml" in the folder and
    // returns the description file.
    juce::File writeArchiveItem (const juce::File& folder, const juce::String& name, const DeviceData& data,
                                 const juce::String& title);

    // The description of a file read back as XML (null when it does not parse).
    std::unique_ptr<juce::XmlElement> readXml (const juce::File& file);

    // Every file below a folder with its bytes, by path relative to the folder.
    std::map<juce::String, Bytes> snapshotFolder (const juce::File& folder);

    // Draws a picture into a small image, for comparing pictures by what they show.
    juce::Image renderPicture (const juce::Drawable& picture, int size = 32);
    bool samePicture (const juce::Drawable& a, const juce::Drawable& b);
    std::unique_ptr<juce::Drawable> resourcePicture (const juce::String& key);
}
