#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "content/ContentTypes.h"
#include "support/FirmwareUpdateRig.h"

using namespace testing_support;

// What the update checks before it starts, with a connected simulated unit: every refusal
// leaves the unit untouched and the update in its failed state with its text.
namespace
{
    using State = FirmwareUpdateThread::State;

    juce::MemoryBlock bytesOf (std::initializer_list<int> values)
    {
        juce::MemoryBlock b;
        for (auto v : values)
        {
            const auto byte = (juce::uint8) v;
            b.append (&byte, 1);
        }
        return b;
    }

    juce::MemoryBlock concat (const juce::MemoryBlock& a, const juce::MemoryBlock& b)
    {
        juce::MemoryBlock out (a);
        out.append (b.getData(), b.getSize());
        return out;
    }

    const juce::MemoryBlock acknowledge = bytesOf ({ 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x51, 0x00, 0xF7 });

    // Replaces a text in the product's capability document and reloads it; a text that is
    // not there fails the test.
    void editCaps (const juce::String& from, const juce::String& to)
    {
        auto* content = getContentManager();
        const juce::File file (content->getContentFile (17, ContentType::caps, 0, false));
        const auto text = file.loadFileAsString();
        ASSERT_TRUE (text.contains (from)) << from;
        ASSERT_TRUE (file.replaceWithText (text.replace (from, to)));
        ASSERT_NE (content->loadContent (17, ContentType::caps, true), nullptr);
    }

    void expectRefused (FirmwareUpdateRig& rig, const FirmwareUpdateElement& element, const juce::String& text)
    {
        EXPECT_FALSE (rig.start (element));
        EXPECT_EQ (rig.update->getErrorText(), text);
        EXPECT_EQ (rig.update->getState(), State::failed);
        EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFailed);
        EXPECT_FALSE (rig.update->isThreadRunning());
        EXPECT_EQ (rig.received (0x51, 0x60), 0);
        EXPECT_TRUE (rig.host.commands.empty());
    }
}

TEST (FirmwareUpdatePreCheck, ImagesThatAreMissingOrNotFirmwareAreRefusedBeforeAnythingIsSent)
{
    FirmwareUpdateRig rig (140);
    const auto invalid = "The firmware update image does not contain valid firmware data.";

    // No file.
    auto version = rig.w.manager().getFirmwareVersion (-1);
    version.build = 150;
    expectRefused (rig, FirmwareUpdateElement (rig.images.child ("none.syx").getFullPathName(), version),
                   "The firmware update image does not exist.");

    // A file whose first message is not the loader's acknowledge message (a block of an image).
    const auto image = FirmwareUpdateRig::sampleImage ("merle_150.syx");
    const juce::MemoryBlock withoutAcknowledge (static_cast<const char*> (image.getData()) + acknowledge.getSize(),
                                                image.getSize() - acknowledge.getSize());
    expectRefused (rig, rig.customImage ("a.syx", withoutAcknowledge, 150), invalid);

    // A good start followed by bytes that are no SysEx: the splitter stops there, and the
    // part it did cut is not sent either.
    expectRefused (rig, rig.customImage ("b.syx", concat (image, bytesOf ({ 0x12, 0x34, 0x56 })), 150), invalid);

    // A block cut short at the end of the file.
    expectRefused (rig, rig.customImage ("c.syx", juce::MemoryBlock (image.getData(), image.getSize() - 5), 150), invalid);

    // Only the acknowledge message: nothing to send.
    expectRefused (rig, rig.customImage ("d.syx", acknowledge, 150), invalid);

    // The unit is as it was.
    EXPECT_EQ (rig.unit->getRebootCount(), 0);
    EXPECT_EQ (rig.unit->getLog().size(), 0u);
}

TEST (FirmwareUpdatePreCheck, TargetBuildsWithoutAValidProfileAreRefused)
{
    FirmwareUpdateRig rig (140);
    editCaps ("<range start=\"130\" end=\"-1\"/>", "<range start=\"130\" end=\"199\"/>");
    editCaps ("</CAPS>", "  <buildProfile>\n    <range start=\"200\" end=\"299\"/>\n"
                         "    <features isBuildValid=\"0\"/>\n  </buildProfile>\n</CAPS>");
    const auto image = FirmwareUpdateRig::sampleImage ("merle_150.syx");

    expectRefused (rig, rig.customImage ("invalid.syx", image, 250),
                   "An internal error occurred before the update could start. You are trying to update to an invalid "
                   "firmware build. Code: 1C.");

    // Without the product's capability document there is no profile at all.
    const auto element = rig.customImage ("unknown.syx", image, 150);
    getContentManager()->reset();
    expectRefused (rig, element,
                   "An internal error occurred before the update could start. Please restart Larkspire and try again. "
                   "If the problem persists, please contact support. Code: 1B.");
}

TEST (FirmwareUpdatePreCheck, WithoutAConnectedUnitTheUpdateIsRefused)
{
    FirmwareUpdateRig rig (140);
    rig.w.manager().closeCurrentDevice();
    expectRefused (rig, rig.listEntry (140),
                   "An internal error occurred before the update could start. Please restart Larkspire and try again. "
                   "If the problem persists, please contact support. Code: 1A.");
}

TEST (FirmwareUpdatePreCheck, WithoutAProgressWindowTheUpdateIsRefused)
{
    FirmwareUpdateRig rig (140);
    rig.host.noView = true;
    expectRefused (rig, rig.listEntry (140), "Memory allocation error. Code: 3");
}

namespace
{
    // Builds 110 to 129 boot slower and program faster than the others.
    void giveBuilds110To129OwnTimes()
    {
        editCaps ("<features presetVersion=\"2\" presetStepPacketSize=\"40\" presetCompatibilityList=\"1\" setupVersion=\"1\"/>",
                  "<features presetVersion=\"2\" presetStepPacketSize=\"40\" presetCompatibilityList=\"1\" setupVersion=\"1\" "
                  "bootTime=\"9.5\" programTime=\"2.5\"/>");
    }
}

TEST (FirmwareUpdatePreCheck, RebootWaitAndDataVersionChangesComeFromTheProfiles)
{
    FirmwareUpdateRig rig (100);
    giveBuilds110To129OwnTimes();

    struct Case { int build; double rebootWait; bool presets, setup; };
    // The target's boot time plus the running build's programming time plus 3 s.
    for (auto c : { Case { 120, 9.5 + 6.0 + 3.0, true, false },
                    Case { 140, 4.0 + 6.0 + 3.0, true, true },
                    Case { 100, 4.0 + 6.0 + 3.0, false, false } })
    {
        ASSERT_TRUE (rig.check (rig.listEntry (c.build))) << rig.update->getErrorText();
        EXPECT_DOUBLE_EQ (rig.update->getRebootWaitSeconds(), c.rebootWait) << c.build;
        EXPECT_EQ (rig.update->doPresetVersionsChange(), c.presets) << c.build;
        EXPECT_EQ (rig.update->doSetupVersionsChange(), c.setup) << c.build;
        EXPECT_EQ (rig.update->getStartVersion().build, 100);
        EXPECT_EQ (rig.update->getTargetVersion().build, c.build);
        EXPECT_EQ (rig.update->getDeviceName(), "Merle");
        EXPECT_EQ (rig.update->getSerialNumber(), 40123);
        EXPECT_EQ (rig.update->getProductId(), 17);
        EXPECT_EQ (rig.update->getState(), State::created);
    }
    EXPECT_TRUE (rig.host.commands.empty());
}

TEST (FirmwareUpdatePreCheck, RebootWaitTakesTheRunningBuildsProgrammingTime)
{
    FirmwareUpdateRig rig (120);
    giveBuilds110To129OwnTimes();
    ASSERT_TRUE (rig.w.scanAndSelect (0));

    ASSERT_TRUE (rig.check (rig.listEntry (140)));
    EXPECT_DOUBLE_EQ (rig.update->getRebootWaitSeconds(), 4.0 + 2.5 + 3.0);
    EXPECT_FALSE (rig.update->doPresetVersionsChange());
    EXPECT_TRUE (rig.update->doSetupVersionsChange());
}

TEST (FirmwareUpdatePreCheck, ARunningBuildThatIsNotValidChangesNoDataVersions)
{
    FirmwareUpdateRig rig (100, { 7 });
    editCaps ("<features presetVersion=\"1\" setupVersion=\"1\"/>",
              "<features presetVersion=\"1\" setupVersion=\"1\" isBuildValid=\"0\"/>");
    ASSERT_TRUE (rig.w.scanAndSelect (0));
    rig.unit->clearLog();

    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    EXPECT_FALSE (rig.update->doPresetVersionsChange());
    EXPECT_FALSE (rig.update->doSetupVersionsChange());
    ASSERT_TRUE (rig.waitForEnd());

    // Nothing is read or written back; the firmware is updated.
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFinished) << rig.update->getErrorText();
    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::downloadDeviceData), 0);
    EXPECT_EQ (rig.received (0x45), 0);
    EXPECT_EQ (rig.received (0x20), 0);
    EXPECT_EQ (rig.w.manager().getFirmwareVersion (-1).build, 120);
}
