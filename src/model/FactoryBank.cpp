#include "model/FactoryBank.h"
#include "model/NumberText.h"

FactoryBank::FactoryBank (const juce::XmlElement* element, const DeviceCaps& caps)
    : numPresets (caps.getNumPresets())
{
    if (element == nullptr)
        return;
    for (auto* preset : element->getChildWithTagNameIterator ("preset"))
    {
        const int number = NumberText::parseLeadingInt (preset->getStringAttribute ("number"));
        const auto md5 = preset->getStringAttribute ("md5");
        if (md5.length() == 32 && number >= 1 && number <= numPresets)
            digests[number] = md5;
    }
}

juce::String FactoryBank::getDigestText (int number) const
{
    auto it = digests.find (number);
    return it != digests.end() ? it->second : juce::String();
}

bool FactoryBank::isFactoryPreset (int number, const juce::MD5& digest) const
{
    if (number < 1 || number > numPresets)
        return false;
    const auto text = getDigestText (number);
    return text.isNotEmpty() && text == digest.toHexString();
}

namespace
{
    juce::CriticalSection lookupLock;
    FactoryBank::Lookup& lookupHolder()
    {
        static FactoryBank::Lookup lookup;
        return lookup;
    }
}

void FactoryBank::setLookup (Lookup lookup)
{
    const juce::ScopedLock sl (lookupLock);
    lookupHolder() = std::move (lookup);
}

std::unique_ptr<FactoryBank> FactoryBank::lookUp (juce::uint8 productId, int build)
{
    Lookup lookup;
    {
        const juce::ScopedLock sl (lookupLock);
        lookup = lookupHolder();
    }
    return lookup ? lookup (productId, build) : nullptr;
}
