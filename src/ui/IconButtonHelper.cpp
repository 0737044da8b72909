#include "ui/IconButtonHelper.h"
#include "core/EmbeddedResources.h"

const char* const IconButtonHelper::pictureNames[5] =
{
    "preset_tile_factory_png",
    "preset_tile_user_png",
    "preset_tile_changed_png",
    "preset_tile_empty_png",
    "preset_tile_empty_changed_png"
};

namespace
{
    juce::Image loadPicture (const char* name)
    {
        int size = 0;
        if (auto* data = getEmbeddedResource (name, size))
            return juce::ImageFileFormat::loadFrom (data, (size_t) size);
        return {};
    }
}

void IconButtonHelper::prepare (int width, int height)
{
    const int w = juce::jmax (1, juce::roundToInt (width * 0.66));
    const int h = juce::jmax (1, juce::roundToInt (height * 0.66));

    // Picture per image: 0 and 1, 2 and 3, 4 and 5 share one; 6 and 7 have their own.
    const int pictureOf[8] = { 0, 0, 1, 1, 2, 2, 3, 4 };

    // Always rescaled from the full-size picture, so repeated resizing loses nothing.
    juce::Image pictures[5];
    for (int p = 0; p < 5; ++p)
    {
        pictures[p] = loadPicture (pictureNames[p]);
        if (! pictures[p].isValid())
            pictures[p] = juce::Image (juce::Image::ARGB, w, h, true);
    }

    for (int i = 0; i < 8; ++i)
    {
        auto scaled = pictures[pictureOf[i]].rescaled (w, h, juce::Graphics::mediumResamplingQuality);
        scaled.duplicateIfShared();
        *images.getUnchecked (i) = scaled.convertedToFormat (juce::Image::ARGB);
    }
}
