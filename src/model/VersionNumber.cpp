#include "model/VersionNumber.h"
#include "model/NumberText.h"

juce::String VersionNumber::toString() const
{
    return juce::String::formatted ("%d.%d.%d.%d.%d.%d", (int) buildType, (int) major, (int) minor,
                                    (int) revision, (int) build, (int) last);
}

void VersionNumber::fromString (const juce::String& text)
{
    juce::int16* fields[] = { &buildType, &major, &minor, &revision, &build, &last };
    for (auto* f : fields)
        *f = 0;

    int start = 0;
    for (int i = 0; i < 6; ++i)
    {
        const int dot = text.indexOfChar (start, '.');
        const auto part = dot < 0 ? text.substring (start) : text.substring (start, dot);
        // Only the low 16 bits of each number are kept.
        *fields[i] = (juce::int16) (juce::uint16) (juce::uint32) NumberText::parseLeadingInt (part);
        if (dot < 0)
            break;
        start = dot + 1;
    }
}

VersionNumber getApplicationVersionNumber()
{
    return VersionNumber (0, 1, 1, 2, 139, 0);
}

juce::String getBuildTypeSuffix (const VersionNumber& version, bool longForm)
{
    switch (version.buildType)
    {
        case 1: return longForm ? "BETA" : "B";
        case 2: return longForm ? "ALPHA" : "A";
        case 3: return longForm ? "DEMO" : "D";
        default: return {};
    }
}

juce::String getVersionText (const VersionNumber& version)
{
    return juce::String::formatted ("%d.%1d.%02d build %d", (int) version.major, (int) version.minor,
                                    (int) version.revision, (int) version.build)
           + getBuildTypeSuffix (version, false);
}
