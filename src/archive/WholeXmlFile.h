#pragma once

#include <juce_core/juce_core.h>
#include <memory>

// The program's own XML files that it reads and later writes over (the backup index, archive
// descriptions) count only when whole. The framework's parser takes a file cut off inside its
// root's opening tag ("<BACKUP nextFileNum=\"42\"") for an empty element, which a later save
// would write over everything the file listed; such a file counts as damaged, like one that
// does not parse.
namespace WholeXmlFile
{
    // The document of a file of at most `maxBytes` whose root element is closed; null when
    // the file is missing, larger, does not parse, or stops before the end of its root.
    std::unique_ptr<juce::XmlElement> parse (const juce::File& file, juce::int64 maxBytes);
}
