#include "support/ArchiveFixtures.h"
#include "core/EmbeddedResources.h"
#include <map>

namespace testing_support
{
    std::unique_ptr<DeviceData> makeUnitData (const DeviceDataFormat& format, const juce::Array<int>& slots,
                                              int seed, bool withSetup)
    {
        auto data = std::make_unique<DeviceData> (VersionNumber (0, 1, 2, 0, 140, 0), format, nullptr);
        for (auto slot : slots)
            data->setPreset (slot, makePreset (format, slot, "P" + juce::String (slot), 1 + slot % 2, seed + slot));
        if (withSetup)
            if (auto setup = makeSetup (format, seed))
                data->setSetup (*setup, false);
        data->clearModifiedFlags (false);
        return data;
    }

    juce::File writeArchiveItem (const juce::File& folder, const juce::String& name, const DeviceData& data,
                                 const juce::String& title)
    {
        DeviceDataArchive item (&data, title, "About " + title);
        item.setLinkData (folder.getChildFile (name + ".ard").getFullPathName());
        item.setHomeFolder (folder);
        const auto meta = folder.getChildFile (name + ".xml");
        return item.save (meta) ? meta : juce::File();
    }

    std::unique_ptr<juce::XmlElement> readXml (const juce::File& file)
    {
        return juce::parseXML (file);
    }

    std::map<juce::String, Bytes> snapshotFolder (const juce::File& folder)
    {
        std::map<juce::String, Bytes> files;
        for (auto& f : folder.findChildFiles (juce::File::findFiles, true))
            files[f.getRelativePathFrom (folder)] = fileBytes (f);
        return files;
    }

    juce::Image renderPicture (const juce::Drawable& picture, int size)
    {
        juce::Image image (juce::Image::ARGB, size, size, true);
        juce::Graphics g (image);
        picture.drawWithin (g, { 0.0f, 0.0f, (float) size, (float) size }, juce::RectanglePlacement::centred, 1.0f);
        return image;
    }

    bool samePicture (const juce::Drawable& a, const juce::Drawable& b)
    {
        auto x = renderPicture (a), y = renderPicture (b);
        bool anyInk = false;
        for (int py = 0; py < x.getHeight(); ++py)
            for (int px = 0; px < x.getWidth(); ++px)
            {
                if (x.getPixelAt (px, py) != y.getPixelAt (px, py))
                    return false;
                anyInk = anyInk || x.getPixelAt (px, py).getAlpha() != 0;
            }
        return anyInk;
    }

    std::unique_ptr<juce::Drawable> resourcePicture (const juce::String& key)
    {
        int size = 0;
        auto* bytes = getEmbeddedResource (key, size);
        return bytes != nullptr ? juce::Drawable::createFromImageData (bytes, (size_t) size) : nullptr;
    }
}
