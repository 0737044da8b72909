#include "archive/WholeXmlFile.h"

namespace WholeXmlFile
{
    std::unique_ptr<juce::XmlElement> parse (const juce::File& file, juce::int64 maxBytes)
    {
        if (! file.existsAsFile() || file.getSize() > maxBytes)
            return {};
        const auto text = file.loadFileAsString();
        // A document that parses ends with the closing of its root ("/>" or its end tag); one cut
        // off inside a tag ends with anything but '>'.
        if (! text.trimEnd().endsWithChar ('>'))
            return {};
        return juce::parseXML (text);
    }
}
