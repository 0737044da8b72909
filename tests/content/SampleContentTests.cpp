#include <gtest/gtest.h>
#include "content/ContentFiles.h"
#include "content/ContentManager.h"
#include "conversion/LarkspireScriptInterface.h"
#include "conversion/PresetConversionObject.h"
#include "conversion/ReferenceDataObject.h"
#include "conversion/SetupConversionObject.h"
#include "firmware/FirmwareUpdateElement.h"
#include "model/DeviceCaps.h"
#include "support/ContentWorld.h"

using namespace testing_support;

// The sample content in resources/Content must be consistent with itself and with the
// formats the program reads: these tests read it the way the program and the units do.
namespace
{
    const juce::String contentBase = "https://www.ardentis.example/Larkspire2/";

    juce::File sample (const juce::String& relative)
    {
        return ContentWorld::sampleContent().getChildFile (relative);
    }

    // The sample file behind a content address.
    juce::File fileFor (const juce::String& address)
    {
        EXPECT_TRUE (address.startsWith (contentBase)) << address;
        return sample (address.fromFirstOccurrenceOf (contentBase, false, false));
    }

    std::unique_ptr<juce::XmlElement> xmlOf (const juce::File& f)
    {
        auto xml = juce::parseXML (f);
        EXPECT_NE (xml, nullptr) << f.getFullPathName();
        return xml;
    }

    juce::String childText (const juce::XmlElement& e, const char* name)
    {
        auto* c = e.getChildByName (name);
        return c != nullptr ? c->getAllSubText().trim() : juce::String();
    }

    struct SampleProduct
    {
        juce::String name;
        juce::uint8 id;
        const juce::XmlElement* element;
    };

    std::vector<SampleProduct> productsOf (const juce::XmlElement& descriptor)
    {
        std::vector<SampleProduct> out;
        for (auto* p : descriptor.getChildByName ("devices")->getChildWithTagNameIterator ("product"))
            out.push_back ({ p->getStringAttribute ("name"), (juce::uint8) p->getIntAttribute ("sysexId"), p });
        return out;
    }

    std::unique_ptr<DeviceCaps> capsFor (const juce::XmlElement& caps, juce::uint8 id, int build)
    {
        const juce::XmlElement* base = caps.getChildByName ("baseDefinition")->getChildByName ("features");
        for (auto* profile : caps.getChildWithTagNameIterator ("buildProfile"))
        {
            auto* range = profile->getChildByName ("range");
            const int start = range->getIntAttribute ("start"), end = range->getIntAttribute ("end");
            if (build >= start && (end == -1 || build <= end))
                return std::make_unique<DeviceCaps> (base, profile->getChildByName ("features"), id, start,
                                                     end == -1 ? build : end);
        }
        return std::make_unique<DeviceCaps> (base, nullptr, id, 0, 0);
    }

    // Splits bytes into SysEx messages; false when anything is not a well-formed message.
    bool splitSysEx (const juce::MemoryBlock& data, std::vector<std::vector<juce::uint8>>& out)
    {
        auto* p = static_cast<const juce::uint8*> (data.getData());
        std::vector<juce::uint8> current;
        for (size_t i = 0; i < data.getSize(); ++i)
        {
            const auto b = p[i];
            if (current.empty() && b != 0xF0)
                return false;
            if (! current.empty() && b == 0xF0)
                return false;
            if (! current.empty() && b != 0xF7 && b > 0x7F)
                return false;
            current.push_back (b);
            if (b == 0xF7)
            {
                out.push_back (current);
                current.clear();
            }
        }
        return current.empty() && ! out.empty();
    }

    // Runs a rule script with the program's own script objects, on an item of the rule's
    // source format, as the conversion manager runs it on a single preset or setup (no
    // unit's data to refer to), and records what the script wrote.
    struct ScriptRun
    {
        juce::String error;
        juce::Array<int> stepSizes;
        int headerVersion = -1, headerSteps = -1, setupSize = -1, setupVersion = -1;

        void run (const juce::String& script, int kind, const DeviceDataFormat& source,
                  const DeviceDataFormat& target, int sourceSteps)
        {
            juce::JavascriptEngine engine;
            juce::ReferenceCountedObjectPtr<LarkspireScriptInterface> larkspire (new LarkspireScriptInterface());
            engine.registerNativeObject ("Larkspire", larkspire.get());
            engine.registerNativeObject ("ReferenceData", new ReferenceDataObject (nullptr));

            Preset preset (source);
            SetupData setup (source);
            juce::ReferenceCountedObjectPtr<PresetConversionObject> presetObject;
            juce::ReferenceCountedObjectPtr<SetupConversionObject> setupObject;
            if (kind == 1)
            {
                PresetInfo info;
                info.number = 3;
                info.dataVersion = source.presetVersion;
                info.tags = 5;
                info.setNameBytes (nullptr, source.presetNameLength);
                info.writeName ("Test");
                preset.setInfo (info);
                for (int step = 0; step < sourceSteps; ++step)
                {
                    juce::Array<int> values;
                    for (int k = 0; k < preset.getStepCapacity(); ++k)
                        values.add (k + 1);
                    EXPECT_TRUE (preset.setStepData (step, values));
                }
                presetObject = new PresetConversionObject (preset, target);
                engine.registerNativeObject ("PresetConversion", presetObject.get());
            }
            else
            {
                juce::Array<int> values;
                for (int k = 0; k < (source.setupPacketSize / 4) * source.syxPackagesPerSetup; ++k)
                    values.add (k + 1);
                setup.setSetupDataVersion (source.setupVersion);
                EXPECT_TRUE (setup.setData (values));
                setupObject = new SetupConversionObject (setup, target);
                engine.registerNativeObject ("SetupConversion", setupObject.get());
            }

            const auto result = engine.execute (script);
            if (result.failed())
                error = result.getErrorMessage();
            else if (larkspire->hasError())
                error = larkspire->getErrorText();

            if (presetObject != nullptr && presetObject->getConverted().hasInfo())
            {
                const auto& converted = presetObject->getConverted();
                headerVersion = converted.getInfo().dataVersion;
                headerSteps = converted.getStepCount();
                for (int step = 0; step < converted.getStepCount(); ++step)
                    stepSizes.add (converted.getStepData (step).size());
            }
            if (setupObject != nullptr && setupObject->getConverted().isComplete())
            {
                setupSize = setupObject->getConverted().getData().size();
                setupVersion = setupObject->getConverted().getSetupDataVersion();
            }
        }
    };
}

TEST (SampleContent, DescriptorNamesAFamilyWithContent)
{
    auto descriptor = xmlOf (sample ("masterDescriptor.xml"));
    ASSERT_NE (descriptor, nullptr);
    EXPECT_EQ (descriptor->getTagName(), "CONTROL_DESCRIPTOR");
    const auto products = productsOf (*descriptor);
    ASSERT_GE (products.size(), 2u);

    int withFirmware = 0, withPacks = 0;
    for (auto& p : products)
    {
        EXPECT_TRUE (p.id <= 127 && p.id != 0x60) << p.name;
        EXPECT_TRUE (sample (p.name).isDirectory()) << p.name;
        for (auto kind : { "caps", "firmwareUpdate", "conversionRules", "onlinePresets" })
        {
            const auto address = childText (*p.element, kind);
            if (address.isNotEmpty())
                EXPECT_TRUE (fileFor (address).existsAsFile()) << address;
        }
        withFirmware += childText (*p.element, "firmwareUpdate").isNotEmpty() ? 1 : 0;
        withPacks += childText (*p.element, "onlinePresets").isNotEmpty() ? 1 : 0;
    }
    EXPECT_GE (withFirmware, 2);
    EXPECT_GE (withPacks, 1);
}

TEST (SampleContent, CapabilityProfilesUseOnlyKnownKeysAndGiveValidFormats)
{
    auto descriptor = xmlOf (sample ("masterDescriptor.xml"));
    const auto& keys = DeviceCaps::getKeys();
    for (auto& p : productsOf (*descriptor))
    {
        auto caps = xmlOf (fileFor (childText (*p.element, "caps")));
        ASSERT_NE (caps, nullptr);
        EXPECT_EQ (caps->getTagName(), "CAPS");
        EXPECT_EQ (childText (*caps, "capsKey"), childText (*p.element, "capsKey"));

        auto* base = caps->getChildByName ("baseDefinition")->getChildByName ("features");
        ASSERT_NE (base, nullptr);
        for (auto& key : keys)
            EXPECT_TRUE (base->hasAttribute (key)) << p.name << " base lacks " << key;

        for (auto* features : { base })
            for (int i = 0; i < features->getNumAttributes(); ++i)
                EXPECT_TRUE (keys.contains (features->getAttributeName (i))) << features->getAttributeName (i);
        for (auto* profile : caps->getChildWithTagNameIterator ("buildProfile"))
        {
            auto* features = profile->getChildByName ("features");
            ASSERT_NE (features, nullptr);
            for (int i = 0; i < features->getNumAttributes(); ++i)
                EXPECT_TRUE (keys.contains (features->getAttributeName (i))) << features->getAttributeName (i);
        }

        for (auto* variant : caps->getChildByName ("productVariants")->getChildWithTagNameIterator ("range"))
        {
            const auto icon = fileFor (variant->getStringAttribute ("iconUrl"));
            EXPECT_TRUE (juce::ImageFileFormat::loadFrom (icon).isValid()) << icon.getFullPathName();
        }

        for (auto* bank : caps->getChildWithTagNameIterator ("factoryBank"))
            for (auto* preset : bank->getChildWithTagNameIterator ("preset"))
            {
                EXPECT_EQ (preset->getStringAttribute ("md5").length(), 32);
                EXPECT_TRUE (preset->getStringAttribute ("md5").containsOnly ("0123456789abcdef"));
            }

        auto format = capsFor (*caps, p.id, 100);
        EXPECT_TRUE (format->getFormat().isValid()) << p.name;
        EXPECT_LE (format->getPresetNameLength(), 15);
    }
}

TEST (SampleContent, FirmwareImagesAreSysExForTheirBuild)
{
    auto descriptor = xmlOf (sample ("masterDescriptor.xml"));
    const juce::uint8 acknowledge[] = { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x51, 0x00, 0xF7 };
    int images = 0;

    for (auto& p : productsOf (*descriptor))
    {
        const auto listAddress = childText (*p.element, "firmwareUpdate");
        if (listAddress.isEmpty())
            continue;
        auto list = xmlOf (fileFor (listAddress));
        EXPECT_EQ (list->getTagName(), "FIRMWARE");
        EXPECT_EQ (childText (*list, "firmwareKey"), childText (*p.element, "firmwareKey"));
        auto caps = xmlOf (fileFor (childText (*p.element, "caps")));

        for (auto* entry : list->getChildWithTagNameIterator ("firmwareUpdate"))
        {
            FirmwareUpdateElement element (*entry, "/firmware");
            ASSERT_NE (element.getStatus(), FirmwareUpdateElement::statusUnknown) << childText (*entry, "version");
            EXPECT_TRUE (capsFor (*caps, p.id, element.getBuild())->getFormat().isValid());
            if (element.getStatus() == FirmwareUpdateElement::statusRevoked
                || element.getStatus() == FirmwareUpdateElement::statusExpired)
                continue;

            juce::MemoryBlock image;
            ASSERT_TRUE (fileFor (element.getLink()).loadFileAsData (image)) << element.getLink();
            ASSERT_GE (image.getSize(), sizeof (acknowledge));
            EXPECT_EQ (memcmp (image.getData(), acknowledge, sizeof (acknowledge)), 0);

            std::vector<std::vector<juce::uint8>> messages;
            ASSERT_TRUE (splitSysEx (image, messages)) << element.getLink();
            ASSERT_GE (messages.size(), 3u);
            for (auto& m : messages)
            {
                EXPECT_LE (m.size(), 16383u);
                EXPECT_EQ (m[1], 0x00);
                EXPECT_EQ (m[2], 0x7A);
                EXPECT_EQ (m[3], 0x15);
                EXPECT_EQ (m[5], 0x60);
            }
            const auto& info = messages[1];
            EXPECT_EQ (info[6], 0x70);
            EXPECT_EQ (info[7], p.id);
            EXPECT_EQ ((info[8] << 7) | info[9], element.getBuild());
            ++images;
        }
    }
    EXPECT_GE (images, 4);
}

TEST (SampleContent, RuleScriptsFitTheFormatsTheyConvertBetween)
{
    auto descriptor = xmlOf (sample ("masterDescriptor.xml"));
    std::map<juce::String, std::unique_ptr<juce::XmlElement>> capsByName;
    std::map<juce::String, juce::uint8> idByName;
    for (auto& p : productsOf (*descriptor))
    {
        capsByName[p.name] = xmlOf (fileFor (childText (*p.element, "caps")));
        idByName[p.name] = p.id;
    }

    // The format of a product's data version, from the first build profile that has it.
    auto formatFor = [&] (const juce::String& product, int kind, int version)
    {
        for (int build = 0; build < 1000; ++build)
        {
            auto caps = capsFor (*capsByName[product], idByName[product], build);
            if ((kind == 1 ? caps->getPresetVersion() : caps->getSetupVersion()) == version)
                return caps->getFormat();
        }
        return DeviceDataFormat();
    };
    auto valuesOf = [] (const DeviceDataFormat& f, int kind)
    {
        return kind == 1 ? f.syxPackagesPerPresetStep * f.presetStepPacketSize / 4
                         : f.syxPackagesPerSetup * f.setupPacketSize / 4;
    };

    int rules = 0, versions = 0, crossProduct = 0;
    for (auto& p : productsOf (*descriptor))
    {
        const auto address = childText (*p.element, "conversionRules");
        if (address.isEmpty())
            continue;
        auto list = xmlOf (fileFor (address));
        EXPECT_EQ (list->getTagName(), "CONVERSION_RULES");
        EXPECT_EQ (childText (*list, "rulesKey"), childText (*p.element, "rulesKey"));

        for (auto* rule : list->getChildIterator())
        {
            if (! rule->hasAttribute ("script"))
                continue;
            const int kind = rule->getTagName() == "preset" ? 1 : (rule->getTagName() == "setup" ? 2 : 3);
            ASSERT_NE (kind, 3);
            const auto target = rule->getStringAttribute ("name", p.name);
            ASSERT_TRUE (capsByName.count (target) > 0) << target;
            crossProduct += target != p.name ? 1 : 0;

            const auto sourceFormat = formatFor (p.name, kind, rule->getIntAttribute ("source"));
            const auto targetFormat = formatFor (target, kind, rule->getIntAttribute ("target"));
            const int sourceValues = valuesOf (sourceFormat, kind);
            const int targetValues = valuesOf (targetFormat, kind);
            ASSERT_GT (sourceValues, 0);
            ASSERT_GT (targetValues, 0);
            versions = juce::jmax (versions, rule->getIntAttribute ("target"));

            const auto script = fileFor (rule->getStringAttribute ("script")).loadFileAsString();
            ASSERT_TRUE (script.isNotEmpty());
            ScriptRun run;
            run.run (script, kind, sourceFormat, targetFormat, 2);
            EXPECT_TRUE (run.error.isEmpty()) << rule->getStringAttribute ("script") << ": " << run.error;
            if (kind == 1)
            {
                EXPECT_EQ (run.headerVersion, rule->getIntAttribute ("target"));
                EXPECT_EQ (run.headerSteps, 2);
                EXPECT_EQ (run.stepSizes, (juce::Array<int> { targetValues, targetValues }));
            }
            else
            {
                EXPECT_EQ (run.setupSize, targetValues);
                EXPECT_EQ (run.setupVersion, rule->getIntAttribute ("target"));
            }
            ++rules;
        }
    }
    EXPECT_GE (rules, 3);
    EXPECT_GE (versions, 2);
    EXPECT_GE (crossProduct, 1);
}

TEST (SampleContent, PresetPackHoldsArchivesOfItsProduct)
{
    auto descriptor = xmlOf (sample ("masterDescriptor.xml"));
    for (auto& p : productsOf (*descriptor))
    {
        const auto address = childText (*p.element, "onlinePresets");
        if (address.isEmpty())
            continue;

        juce::ZipFile zip (fileFor (address));
        ASSERT_GT (zip.getNumEntries(), 0);
        TempFolder out;
        ASSERT_TRUE (zip.uncompressTo (out.get()).wasOk());

        auto caps = xmlOf (fileFor (childText (*p.element, "caps")));
        int archives = 0;
        for (auto& f : out.get().findChildFiles (juce::File::findFiles, true, "*.xml"))
        {
            auto archive = xmlOf (f);
            EXPECT_EQ (archive->getTagName(), "ARCHIVE");
            EXPECT_EQ (childText (*archive, "md5").length(), 32);
            EXPECT_EQ (archive->getChildByName ("product")->getStringAttribute ("sysexId").getHexValue32(), p.id);
            const int build = childText (*archive, "buildNo").getIntValue();

            // The data file: writer version, product name, data version, then the format.
            juce::FileInputStream in (f.getSiblingFile (childText (*archive, "linkData")));
            ASSERT_TRUE (in.openedOk());
            EXPECT_EQ (in.readString(), "0.1.1.2.139.0");
            EXPECT_EQ (in.readString(), p.name);
            EXPECT_EQ (in.readString().fromLastOccurrenceOf ("0.1.2.0.", false, false), juce::String (build) + ".0");
            DeviceDataFormat format;
            ASSERT_TRUE (format.readFromStream (in));
            EXPECT_EQ (format, capsFor (*caps, p.id, build)->getFormat());
            EXPECT_EQ (in.readInt(), format.numPresets);
            ++archives;
        }
        EXPECT_GE (archives, 1);
    }
}

TEST (SampleContent, ContentFileNames)
{
    EXPECT_EQ (ContentFiles::lastSegment ("https://x.example/a/caps.xml"), "caps.xml");
    EXPECT_EQ (ContentFiles::lastSegment ("C:\\a\\b.syx"), "b.syx");
    EXPECT_EQ (ContentFiles::lastSegment ("caps.xml"), "caps.xml");
    EXPECT_EQ (ContentFiles::lastSegment ("https://x.example/a/"), "");
    EXPECT_EQ (ContentFiles::lastSegment ("https://x.example/.."), "");
    EXPECT_EQ (ContentFiles::lastSegment ("."), "");
    EXPECT_EQ (ContentFiles::fileInFolder ("/data", "https://x.example/a/caps.xml"),
               "/data" + juce::File::getSeparatorString() + "caps.xml");
    EXPECT_EQ (ContentFiles::fileInFolder ("", "https://x.example/a/caps.xml"), "");
}
