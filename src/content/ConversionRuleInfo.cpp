#include "content/ConversionRuleInfo.h"
#include "content/ContentFiles.h"

ConversionRuleInfo ConversionRuleInfo::fromXml (const juce::XmlElement& rule, juce::uint8 owningProductId,
                                                juce::uint8 targetProductIdByName, bool targetNamed,
                                                const juce::String& scriptFolder)
{
    ConversionRuleInfo info;
    const auto tag = rule.getTagName();
    info.kind = tag == "preset" ? preset : (tag == "setup" ? setup : invalid);
    info.productId = owningProductId;
    info.sourceVersion = rule.hasAttribute ("source") ? rule.getIntAttribute ("source") : -1;
    info.targetProductId = targetNamed ? targetProductIdByName : owningProductId;
    info.targetVersion = rule.hasAttribute ("target") ? rule.getIntAttribute ("target") : -1;
    info.cost = rule.hasAttribute ("cost") ? rule.getIntAttribute ("cost") : 1;
    info.script = rule.getStringAttribute ("script");
    info.scriptFile = ContentFiles::fileInFolder (scriptFolder, info.script);
    return info;
}
