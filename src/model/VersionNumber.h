#pragma once

#include <juce_core/juce_core.h>

// Six-part version of a firmware build or of the program.
struct VersionNumber
{
    juce::int16 buildType = 0;  // 0 none, 1 beta, 2 alpha, 3 demo
    juce::int16 major = 0;
    juce::int16 minor = 0;
    juce::int16 revision = 0;
    juce::int16 build = 0;
    juce::int16 last = 0;

    VersionNumber() = default;
    VersionNumber (int type, int ma, int mi, int rev, int bld, int lst)
        : buildType ((juce::int16) type), major ((juce::int16) ma), minor ((juce::int16) mi),
          revision ((juce::int16) rev), build ((juce::int16) bld), last ((juce::int16) lst) {}

    // "%d.%d.%d.%d.%d.%d" of the six numbers in order.
    juce::String toString() const;

    // Reads up to six dot-separated parts into the six fields; missing ones become 0.
    void fromString (const juce::String& text);
    static VersionNumber parse (const juce::String& text) { VersionNumber v; v.fromString (text); return v; }

    bool operator== (const VersionNumber& o) const noexcept
    {
        return buildType == o.buildType && major == o.major && minor == o.minor
            && revision == o.revision && build == o.build && last == o.last;
    }
    bool operator!= (const VersionNumber& o) const noexcept { return ! operator== (o); }
};

// The program's own version (1.1.02 build 139), also written into every data file.
VersionNumber getApplicationVersionNumber();

// "BETA"/"B", "ALPHA"/"A", "DEMO"/"D" for build types 1..3; empty otherwise.
juce::String getBuildTypeSuffix (const VersionNumber& version, bool longForm);

// "%d.%1d.%02d build %d" of major, minor, revision and build, then the short suffix.
juce::String getVersionText (const VersionNumber& version);
