#include "device/sim/SimulatedUnitSet.h"

namespace SimulatedUnitSet
{
    int newestPublicBuild (const juce::XmlElement& list, juce::Time madeOn)
    {
        int newest = 0;
        for (auto* entry : list.getChildWithTagNameIterator ("firmwareUpdate"))
        {
            auto* status = entry->getChildByName ("status");
            auto* version = entry->getChildByName ("version");
            if (status == nullptr || version == nullptr || status->getAllSubText().trim() != "public")
                continue;
            if (auto* date = entry->getChildByName ("pubDate"))
                if (juce::Time::fromISO8601 (date->getAllSubText().trim()) > madeOn)
                    continue;
            const auto text = version->getAllSubText();
            const int at = text.lastIndexOf ("build");
            if (at >= 0)
                newest = juce::jmax (newest, text.substring (at + 5).trim().getIntValue());
        }
        return newest;
    }

    std::vector<std::shared_ptr<SimulatedUnit>> createForContent (const juce::File& folder)
    {
        std::vector<std::shared_ptr<SimulatedUnit>> units;
        auto descriptor = juce::XmlDocument::parse (folder.getChildFile ("masterDescriptor.xml"));
        if (descriptor == nullptr)
            return units;
        auto* devices = descriptor->getChildByName ("devices");
        if (devices == nullptr)
            return units;

        // Every simulated unit was made on this day.
        constexpr int madeDay = 12, madeMonth = 3, madeYear = 2021;
        const juce::Time madeOn (madeYear, madeMonth - 1, madeDay, 0, 0, 0, 0, false);

        int index = 0;
        for (auto* product : devices->getChildWithTagNameIterator ("product"))
        {
            const auto name = product->getStringAttribute ("name");
            const int id = product->getIntAttribute ("sysexId", 255);
            if (name.isEmpty() || ! juce::isPositiveAndBelow (id, 0x60) || name.containsAnyOf ("/\\"))
                continue;

            const auto productFolder = folder.getChildFile (name);
            int build = 0;
            if (auto list = juce::XmlDocument::parse (productFolder.getChildFile ("firmware.xml")))
                build = newestPublicBuild (*list, madeOn);
            if (build <= 0)
                build = 100;

            const auto profile = SimUnitProfile::fromCapsFile (productFolder.getChildFile ("caps.xml"),
                                                               (juce::uint8) id, build);
            SimulatedUnit::Identity identity;
            identity.productId = (juce::uint8) id;
            identity.major = build / 100;
            identity.minor = (build / 10) % 10;
            identity.build = build;
            identity.serial = 10100 + 1000 * index;
            identity.day = madeDay;
            identity.month = madeMonth;
            identity.year = madeYear;
            const auto flag = product->getStringAttribute ("allVersSupportGenSyxID").trim();
            identity.answersBroadcast = flag.isNotEmpty() && juce::String ("1tTyY").containsChar (flag[0]);

            auto unit = std::make_shared<SimulatedUnit> (profile, identity, name + " MIDI");
            // A firmware update reboots it into the profile of its new build.
            const auto capsFile = productFolder.getChildFile ("caps.xml");
            const auto productId = (juce::uint8) id;
            unit->setProfileForBuild ([capsFile, productId] (int newBuild)
                                      { return SimUnitProfile::fromCapsFile (capsFile, productId, newBuild); });
            juce::Array<int> numbers;
            for (int n = 1; n < profile.numPresets; ++n)
                if (n % 4 != 0)
                    numbers.add (n);
            unit->fillPresets (numbers, index + 1);
            units.push_back (std::move (unit));
            ++index;
        }
        return units;
    }
}
