#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceManager.h"
#include "model/VersionNumber.h"
#include "ui/LSLookAndFeel.h"
#include "ui/StatusBar.h"
#include "ui/TextOnlyButton.h"
#include "support/ContentWorld.h"
#include "support/DeviceWorld.h"

using namespace testing_support;

namespace
{
    struct SettingsScope
    {
        SettingsScope()  { configureApplicationProperties(); }
        ~SettingsScope() { deleteApplicationProperties(); }
    };

    // A status bar drawn with the program's look and feel at scale 1.
    struct Bar
    {
        LSLookAndFeel lookAndFeel;
        StatusBar bar;

        explicit Bar (int width = 800, int height = 29)
        {
            bar.setLookAndFeel (&lookAndFeel);
            bar.setSize (width, height);
        }
        ~Bar() { bar.setLookAndFeel (nullptr); }

        juce::Image snapshot() { return bar.createComponentSnapshot (bar.getLocalBounds(), true, 1.0f); }
    };

    ChangeInfo::Ptr event (int code, int p1 = 0, int p2 = 0)
    {
        return new ChangeInfo (DeviceInfoMessage (code, p1, p2, {}));
    }

    int countNear (const juce::Image& image, juce::Rectangle<float> area, juce::Colour colour, int tolerance = 12)
    {
        int n = 0;
        const auto r = area.getSmallestIntegerContainer().getIntersection (image.getBounds());
        for (int y = r.getY(); y < r.getBottom(); ++y)
            for (int x = r.getX(); x < r.getRight(); ++x)
            {
                const auto p = image.getPixelAt (x, y);
                if (std::abs (p.getRed() - colour.getRed()) <= tolerance
                    && std::abs (p.getGreen() - colour.getGreen()) <= tolerance
                    && std::abs (p.getBlue() - colour.getBlue()) <= tolerance)
                    ++n;
            }
        return n;
    }

    const juce::Colour activeYellow (0xffedce83);
}

TEST (StatusBar, StartsInitialisingWithNothingBusy)
{
    TempHome home;
    SettingsScope settings;
    Bar b;

    EXPECT_EQ (b.bar.getDeviceLabel().getText(), "Initializing");
    EXPECT_FALSE (b.bar.isShowingConnected());
    EXPECT_FALSE (b.bar.getTitleLabel().isVisible());
    EXPECT_FALSE (b.bar.getProgressBar().isVisible());
    EXPECT_TRUE (b.bar.getFirmwareLabel().isVisible());

    for (auto* label : { &b.bar.getDeviceLabel(), &b.bar.getFirmwareLabel(), &b.bar.getTitleLabel() })
    {
        EXPECT_EQ (label->findColour (juce::Label::textColourId).getARGB(), 0xffdae1d5u);
        EXPECT_EQ (label->findColour (juce::Label::backgroundColourId).getARGB(), 0xff00435au);
        EXPECT_EQ (label->getMinimumHorizontalScale(), 1.0f);
    }
    EXPECT_EQ (b.bar.getDeviceLabel().getJustificationType(), juce::Justification::centredLeft);
    EXPECT_EQ (b.bar.getFirmwareLabel().getJustificationType(), juce::Justification::bottomLeft);

    const auto image = b.snapshot();
    EXPECT_EQ (image.getPixelAt (400, 27).getARGB(), 0xff00435au);
}

TEST (StatusBar, BusyStatusShowsTitleMessageAndProgressInItsColours)
{
    TempHome home;
    SettingsScope settings;
    Bar b;

    b.bar.setStatus (true, "Downloading", "Merle", 1.0);
    EXPECT_TRUE (b.bar.getTitleLabel().isVisible());
    EXPECT_EQ (b.bar.getTitleLabel().getText(), "Downloading");
    EXPECT_TRUE (b.bar.getProgressBar().isVisible());
    EXPECT_EQ (b.bar.getMessage(), "Merle");
    EXPECT_FALSE (b.bar.isMessageError());
    EXPECT_EQ (b.bar.getProgressValue(), 1.0);
    EXPECT_EQ (b.bar.getProgressBar().findColour (juce::ProgressBar::backgroundColourId).getARGB(), 0xff828e98u);
    EXPECT_EQ (b.bar.getProgressBar().findColour (juce::ProgressBar::foregroundColourId).getARGB(), 0xffedce83u);
    // The progress bar begins after the title and ends one margin before the traffic indicators.
    EXPECT_EQ (b.bar.getProgressBar().getX(), b.bar.getTitleLabel().getRight() + 7);
    EXPECT_EQ (b.bar.getProgressBar().getRight(), b.bar.getSeparators()[1] - 10);
    EXPECT_EQ (b.bar.getProgressBar().getY(), 6);
    EXPECT_EQ (b.bar.getProgressBar().getHeight(), 29 - 13);

    b.bar.setMessage ("MIDI transmission error on preset 4  (retry 2)", true);
    EXPECT_TRUE (b.bar.isMessageError());
    EXPECT_EQ (b.bar.getProgressBar().findColour (juce::ProgressBar::backgroundColourId).getARGB(), 0xffc86464u);
    EXPECT_EQ (b.bar.getProgressBar().findColour (juce::ProgressBar::foregroundColourId).getARGB(), 0xffdf4526u);

    // Busy without a title: no title, the bar takes its place.
    b.bar.setStatus (true, {}, "Scanning", 0.5);
    EXPECT_FALSE (b.bar.getTitleLabel().isVisible());
    EXPECT_FALSE (b.bar.isMessageError());
    EXPECT_EQ (b.bar.getProgressBar().getX(), b.bar.getSeparators()[0] + 10);
    EXPECT_EQ (b.bar.getProgressValue(), 0.5);

    b.bar.setStatus (false, {}, {}, 0.0);
    EXPECT_FALSE (b.bar.getTitleLabel().isVisible());
    EXPECT_FALSE (b.bar.getProgressBar().isVisible());
}

TEST (StatusBar, StepsCountTowardsTheTotalAndEndIdle)
{
    TempHome home;
    SettingsScope settings;
    Bar b;

    b.bar.setStatus (true, {}, {}, 0.0);
    b.bar.setSteps (4);
    b.bar.step();
    EXPECT_DOUBLE_EQ (b.bar.getProgressValue(), 0.25);
    b.bar.step();
    b.bar.step();
    EXPECT_DOUBLE_EQ (b.bar.getProgressValue(), 0.75);
    EXPECT_TRUE (b.bar.getProgressBar().isVisible());
    b.bar.step();
    EXPECT_DOUBLE_EQ (b.bar.getProgressValue(), 1.0);
    EXPECT_EQ (b.bar.getStepsDone(), 4);
    EXPECT_FALSE (b.bar.getProgressBar().isVisible());

    // A total of 0: full at once and idle at the first step.
    b.bar.setStatus (true, {}, {}, 0.0);
    b.bar.setSteps (0);
    b.bar.step();
    EXPECT_DOUBLE_EQ (b.bar.getProgressValue(), 1.0);
    EXPECT_FALSE (b.bar.getProgressBar().isVisible());
}

TEST (StatusBar, LayoutPlacesLabelsSeparatorsAndIndicators)
{
    TempHome home;
    SettingsScope settings;
    Bar b (800, 29);

    // Indicator size 16 (29 x 0.55 rounded), centre line 14, margin 10, right limit
    // 800 - 2 x (16 + 20) - 25 = 703.
    const auto& s = b.bar.getSeparators();
    ASSERT_EQ (s.size(), 3);
    EXPECT_EQ (s[1], 703);
    EXPECT_EQ (b.bar.getIndicator (StatusBar::midiOut).bounds, juce::Rectangle<float> (710, 6, 16, 16));
    EXPECT_EQ (b.bar.getIndicator (StatusBar::midiIn).bounds, juce::Rectangle<float> (733, 6, 16, 16));
    EXPECT_EQ (s[2], 756);
    EXPECT_EQ (b.bar.getIndicator (StatusBar::webA).bounds, juce::Rectangle<float> (763, 7, 27, 7));
    EXPECT_EQ (b.bar.getIndicator (StatusBar::webB).bounds, juce::Rectangle<float> (763, 15, 27, 7));

    // The connection icon in a square of the font height beside the margin; the device
    // label after it, full height, as wide as its text.
    const auto& device = b.bar.getDeviceLabel();
    EXPECT_EQ (device.getPosition(), juce::Point<int> (10 + 19, 0));
    EXPECT_EQ (device.getHeight(), 29);
    EXPECT_EQ (device.getWidth(), juce::roundToInt (device.getFont().getStringWidthFloat ("Initializing")) + 1);
    const auto icon = b.bar.getConnectionIcon()->getBoundsInParent();
    EXPECT_NEAR (icon.getCentreX(), 17, 1);
    EXPECT_NEAR (icon.getCentreY(), 14.5, 1);
    EXPECT_LE (icon.getWidth(), 16);

    // The firmware label sits after the device label, centred on the middle line, and the
    // first separator follows it after a margin.
    const auto& firmware = b.bar.getFirmwareLabel();
    EXPECT_EQ (firmware.getX(), device.getRight() + 3);
    EXPECT_EQ (firmware.getHeight(), 14);
    EXPECT_EQ (firmware.getY(), 14 - 7);
    EXPECT_EQ (s[0], firmware.getRight() + 10);

    // A window without the native title bar leaves room for its resizer.
    juce::DocumentWindow window ("w", juce::Colours::grey, 0, false);
    window.setUsingNativeTitleBar (false);
    window.setContentNonOwned (&b.bar, false);
    b.bar.setSize (800, 29);
    EXPECT_EQ (b.bar.getSeparators()[1], 703 - 15);
    window.clearContentComponent();
}

TEST (StatusBar, FollowsTheConnectedUnit)
{
    DeviceWorld world;
    SettingsScope settings;
    world.addUnit (DeviceWorld::merle, 140, 4321);
    ASSERT_TRUE (world.scanAndSelect (0));
    Bar b;

    // Only device events of the four codes count.
    b.bar.changeInfoCallback (*ChangeInfo::command (0x36000));
    b.bar.changeInfoCallback (*event (InfoCode::presetRead, 1));
    EXPECT_EQ (b.bar.getDeviceLabel().getText(), "Initializing");

    for (int code : { InfoCode::unitConnection, InfoCode::scanFinished, InfoCode::connectedUnitLost, InfoCode::portListsChanged })
    {
        SCOPED_TRACE (code);
        b.bar.changeInfoCallback (*event (InfoCode::unitConnection, 0));
        ASSERT_FALSE (b.bar.isShowingConnected());

        b.bar.changeInfoCallback (*event (code, 1));
        EXPECT_TRUE (b.bar.isShowingConnected());
        EXPECT_EQ (b.bar.getDeviceLabel().getText(), world.manager().getDeviceDisplayName());
        EXPECT_EQ (b.bar.getFirmwareLabel().getText(), getVersionText (world.manager().getFirmwareVersion()));
        EXPECT_TRUE (b.bar.getFirmwareLabel().isVisible());
    }
    EXPECT_TRUE (b.bar.getDeviceLabel().getText().startsWith ("Merle"));

    // A disconnection message shows nothing connected even while the manager still has the unit.
    b.bar.changeInfoCallback (*event (InfoCode::unitConnection, 0));
    EXPECT_FALSE (b.bar.isShowingConnected());
    EXPECT_EQ (b.bar.getDeviceLabel().getText(), "Nothing Connected");
    EXPECT_TRUE (b.bar.getFirmwareLabel().getText().isEmpty());
    EXPECT_FALSE (b.bar.getFirmwareLabel().isVisible());

    world.manager().closeCurrentDevice();
    b.bar.changeInfoCallback (*event (InfoCode::scanFinished, 1));
    EXPECT_EQ (b.bar.getDeviceLabel().getText(), "Nothing Connected");
}

TEST (StatusBar, IndicatorsLightForOneTickWhenTheirCountGrows)
{
    DeviceWorld world;
    SettingsScope settings;
    Bar b;
    auto& content = *getContentManager();
    content.getTransferCounter() = 1000;
    content.getBytesFetched() = 50;

    b.bar.resetIndicators (9950);   // what went before does not count
    b.bar.updateIndicators (10000);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE (b.bar.getIndicator (i).isActive()) << i;

    content.getTransferCounter() += 10;
    b.bar.updateIndicators (10100);
    EXPECT_TRUE (b.bar.getIndicator (StatusBar::webA).isActive());
    EXPECT_FALSE (b.bar.getIndicator (StatusBar::webB).isActive());
    EXPECT_EQ (b.bar.getIndicator (StatusBar::webA).activeUntil, 10198);

    // Idle again at the next tick unless the count grew again.
    b.bar.updateIndicators (10200);
    EXPECT_FALSE (b.bar.getIndicator (StatusBar::webA).isActive());

    content.getTransferCounter() += 1;
    content.getBytesFetched() += 1;
    b.bar.updateIndicators (10300);
    content.getTransferCounter() += 1;
    b.bar.updateIndicators (10400);
    EXPECT_TRUE (b.bar.getIndicator (StatusBar::webA).isActive());
    EXPECT_FALSE (b.bar.getIndicator (StatusBar::webB).isActive());

    // The low 32 bits count: a total past 2^32 that moved on still lights up.
    content.getBytesFetched() = (juce::uint64) 0x100000000ull + 60;
    b.bar.updateIndicators (10500);
    EXPECT_TRUE (b.bar.getIndicator (StatusBar::webB).isActive());
}

TEST (StatusBar, MidiIndicatorsFollowTheUnitsTraffic)
{
    DeviceWorld world;
    SettingsScope settings;
    world.addUnit (DeviceWorld::merle, 140, 4321);
    world.startManager();
    Bar b;
    b.bar.resetIndicators();

    ASSERT_EQ (world.scan(), 1);   // the identity queries and their answers
    b.bar.updateIndicators (juce::Time::currentTimeMillis());
    EXPECT_TRUE (b.bar.getIndicator (StatusBar::midiOut).isActive());
    EXPECT_TRUE (b.bar.getIndicator (StatusBar::midiIn).isActive());

    // Nothing moves now: idle at the next tick.
    b.bar.updateIndicators (juce::Time::currentTimeMillis() + 200);
    EXPECT_FALSE (b.bar.getIndicator (StatusBar::midiOut).isActive());
    EXPECT_FALSE (b.bar.getIndicator (StatusBar::midiIn).isActive());

    // While the program is still starting, the reset takes the counts as zero: the traffic
    // so far lights the indicators at the next tick.
    world.content.host.applicationState = 1;
    b.bar.resetIndicators();
    EXPECT_EQ (b.bar.getIndicator (StatusBar::midiOut).lastCount, 0u);
    world.content.host.applicationState = 0;
    b.bar.updateIndicators (juce::Time::currentTimeMillis());
    EXPECT_TRUE (b.bar.getIndicator (StatusBar::midiOut).isActive());
}

TEST (StatusBar, OfflineOnlyTheMidiIndicatorsAreDrawn)
{
    for (bool isOnline : { false, true })
    {
        ContentWorld world;
        SettingsScope settings;
        if (! isOnline)
            world.server.failWith (ContentWorld::servedPath ("masterDescriptor.xml"), 404);
        world.installSampleContent();
        setContentManager (newFetchedContentManager());
        ASSERT_EQ (getContentManager()->isOnline(), isOnline);

        {
            Bar b;
            // Both web counters and nothing else have moved: the web indicators are active.
            b.bar.resetIndicators (900);
            getContentManager()->getTransferCounter() += 5;
            getContentManager()->getBytesFetched() += 5;
            b.bar.updateIndicators (1000);
            ASSERT_TRUE (b.bar.getIndicator (StatusBar::webA).isActive());

            const auto image = b.snapshot();
            const auto webA = b.bar.getIndicator (StatusBar::webA).bounds;
            const auto midiOut = b.bar.getIndicator (StatusBar::midiOut).bounds;

            // The idle MIDI indicators are drawn either way (their dark blue disc).
            EXPECT_GT (countNear (image, midiOut, juce::Colour (0xff23566a)), 10);
            if (isOnline)
                EXPECT_GT (countNear (image, webA, activeYellow), 20);
            else
                EXPECT_EQ (countNear (image, webA, activeYellow), 0);
        }
        setContentManager (nullptr);
    }
}

TEST (TextOnlyButton, DrawsItsTextAtSevenTenthsOfItsHeight)
{
    TextOnlyButton b ("Sign in", "tip");
    b.setSize (80, 20);
    EXPECT_FLOAT_EQ (b.getFontToUse().getHeight(), 14.0f);
    EXPECT_TRUE (b.getFontToUse().isUnderlined());
    EXPECT_EQ (b.getTooltip(), "tip");
    EXPECT_EQ (b.getMouseCursor(), juce::MouseCursor (juce::MouseCursor::PointingHandCursor));
    EXPECT_EQ (b.getBestWidth(), juce::roundToInt (b.getFontToUse().getStringWidthFloat ("Sign in")) + 6);

    // A fixed font keeps its height.
    b.setFont (juce::Font (12.0f), false);
    EXPECT_FLOAT_EQ (b.getFontToUse().getHeight(), 12.0f);

    // Drawn in its link colour; faded when disabled.
    b.setColour (juce::HyperlinkButton::textColourId, juce::Colour (0xff595959));
    b.setFont (juce::Font (18.0f), false);
    auto darkest = [&]
    {
        const auto image = b.createComponentSnapshot (b.getLocalBounds(), true, 1.0f);
        float lowest = 1.0f;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (image.getPixelAt (x, y).getAlpha() > 200)
                    lowest = juce::jmin (lowest, image.getPixelAt (x, y).getBrightness());
        return lowest;
    };
    EXPECT_LT (darkest(), 0.45f);
    b.setEnabled (false);
    EXPECT_EQ (darkest(), 1.0f);   // nothing fully opaque left
}
