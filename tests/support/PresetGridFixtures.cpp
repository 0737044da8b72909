#include "support/PresetGridFixtures.h"

namespace testing_support
{
    std::unique_ptr<DeviceData> makeGridData (int numSlots, std::initializer_list<int> filled,
                                              std::initializer_list<int> factorySlots,
                                              const std::map<int, int>& steps)
    {
        const auto format = smallFormat (numSlots);
        const VersionNumber version { 0, 1, 2, 0, 120, 0 };

        juce::XmlElement bankXml ("factoryBank");
        for (int slot : factorySlots)
        {
            auto p = makePreset (format, slot, "P" + juce::String (slot), 1, slot);
            auto* e = bankXml.createNewChildElement ("preset");
            e->setAttribute ("number", slot);
            e->setAttribute ("md5", p->getMd5().toHexString());
        }
        auto features = juce::parseXML ("<features numPresets='" + juce::String (numSlots) + "'/>");
        DeviceCaps caps (nullptr, features.get(), format.productId, 100, 200);
        FactoryBank bank (&bankXml, caps);

        auto data = std::make_unique<DeviceData> (version, format, &bank);
        for (int slot : filled)
        {
            auto it = steps.find (slot);
            const int n = it != steps.end() ? it->second : 1;
            data->setPreset (slot, makePreset (format, slot, "P" + juce::String (slot), n, slot));
        }
        data->clearModifiedFlags (false);
        return data;
    }

    bool isNear (juce::Colour a, juce::Colour b, int tolerance)
    {
        return std::abs (a.getRed() - b.getRed()) <= tolerance
            && std::abs (a.getGreen() - b.getGreen()) <= tolerance
            && std::abs (a.getBlue() - b.getBlue()) <= tolerance;
    }

    int countPixelsNear (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour, int tolerance)
    {
        int n = 0;
        const auto r = area.getIntersection (image.getBounds());
        for (int y = r.getY(); y < r.getBottom(); ++y)
            for (int x = r.getX(); x < r.getRight(); ++x)
                if (isNear (image.getPixelAt (x, y), colour, tolerance))
                    ++n;
        return n;
    }
}
