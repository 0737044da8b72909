#include <gtest/gtest.h>
#include "ui/CellButtonHelper.h"
#include "ui/ColourPalette.h"
#include "ui/IconButtonHelper.h"
#include "ui/LSLookAndFeel.h"
#include "ui/PresetButton.h"
#include "support/PresetGridFixtures.h"

using namespace testing_support;

namespace
{
    struct PresetButtonTest : ::testing::Test
    {
        ScopedProductNames names;
        LSLookAndFeel lookAndFeel;
        // Slots 1 and 2 hold factory presets, 3 a user preset of three steps, 4 a user preset.
        std::unique_ptr<DeviceData> data = makeGridData (8, { 1, 2, 3, 4 }, { 1, 2 }, { { 3, 3 } });

        PresetButtonTest()  { juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel); }
        ~PresetButtonTest() override { juce::LookAndFeel::setDefaultLookAndFeel (nullptr); }

        std::unique_ptr<PresetButton> cell (int slot, bool isDeviceData = false)
        {
            auto b = std::make_unique<PresetButton> (slot);
            b->setPreset (data.get(), isDeviceData);
            b->setEmpty (! data->hasPreset (slot));
            b->setButtonText (juce::String (slot) + ": " + data->getPresetNames ({ slot })[0]);
            b->setSize (125, 25);
            return b;
        }

        std::unique_ptr<PresetButton> icon (int slot)
        {
            auto b = cell (slot);
            b->setViewType (PresetButton::iconView);
            b->setSize (152, 95);
            return b;
        }

        static juce::Image paint (PresetButton& b)
        {
            return b.createComponentSnapshot (b.getLocalBounds(), true, 1.0f);
        }

        // The colour of a vertical gradient from `top` to `bottom` over `height` rows at row y.
        static juce::Colour gradientAt (juce::Colour top, juce::Colour bottom, int y, int height)
        {
            return top.interpolatedWith (bottom, (y + 0.5f) / (float) height);
        }
    };
}

TEST_F (PresetButtonTest, HelpersLiveExactlyWhileButtonsExist)
{
    ASSERT_EQ (getCellButtonHelperUserCount(), 0);
    EXPECT_EQ (getCurrentCellButtonHelper(), nullptr);
    EXPECT_EQ (getCurrentIconButtonHelper(), nullptr);

    auto first = std::make_unique<PresetButton> (1);
    auto* cellHelper = getCurrentCellButtonHelper();
    auto* iconHelper = getCurrentIconButtonHelper();
    ASSERT_NE (cellHelper, nullptr);
    ASSERT_NE (iconHelper, nullptr);
    EXPECT_EQ (cellHelper->getImage (0).getBounds(), juce::Rectangle<int> (0, 0, 250, 25));
    EXPECT_EQ (iconHelper->getImage (7).getBounds(), juce::Rectangle<int> (0, 0, 100, 63));

    {
        PresetButton second (2);
        EXPECT_EQ (getCurrentCellButtonHelper(), cellHelper);   // shared, not rebuilt
        EXPECT_EQ (getCellButtonHelperUserCount(), 2);
        EXPECT_EQ (getIconButtonHelperUserCount(), 2);
    }

    EXPECT_EQ (getCellButtonHelperUserCount(), 1);
    EXPECT_EQ (getCurrentCellButtonHelper(), cellHelper);

    first.reset();
    EXPECT_EQ (getCellButtonHelperUserCount(), 0);
    EXPECT_EQ (getCurrentCellButtonHelper(), nullptr);
    EXPECT_EQ (getCurrentIconButtonHelper(), nullptr);

    PresetButton again (3);
    ASSERT_NE (getCurrentCellButtonHelper(), nullptr);
    EXPECT_TRUE (getCurrentCellButtonHelper()->getImage (6).isValid());
    EXPECT_TRUE (getCurrentIconButtonHelper()->getImage (0).isValid());
}

TEST_F (PresetButtonTest, CellHelperImagesHoldThePaletteFills)
{
    CellButtonHelper helper;
    helper.prepare (125, 25);

    for (int i = 0; i < 8; ++i)
        EXPECT_EQ (helper.getImage (i).getBounds(), juce::Rectangle<int> (0, 0, 250, 25)) << i;

    // Gradients run from the top colour to the bottom colour.
    EXPECT_TRUE (isNear (helper.getImage (0).getPixelAt (200, 0), paletteColour076));
    EXPECT_TRUE (isNear (helper.getImage (0).getPixelAt (3, 24), paletteColour030));
    EXPECT_TRUE (isNear (helper.getImage (2).getPixelAt (10, 0), paletteColour046));
    EXPECT_TRUE (isNear (helper.getImage (2).getPixelAt (10, 24), paletteColour047));
    EXPECT_TRUE (isNear (helper.getImage (4).getPixelAt (249, 0), paletteColour053));
    EXPECT_TRUE (isNear (helper.getImage (4).getPixelAt (249, 24), paletteColour062));

    // Flat fills, the toggled ones lighter than their base colour.
    EXPECT_TRUE (isNear (helper.getImage (1).getPixelAt (100, 12), paletteColour050.brighter (0.2f), 1));
    EXPECT_TRUE (isNear (helper.getImage (3).getPixelAt (100, 12), paletteColour004.brighter (0.2f), 1));
    EXPECT_TRUE (isNear (helper.getImage (5).getPixelAt (100, 12), paletteColour006.brighter (0.2f), 1));
    EXPECT_GT (helper.getImage (1).getPixelAt (0, 0).getBrightness(), paletteColour050.getBrightness());
    EXPECT_EQ (helper.getImage (6).getPixelAt (249, 24), paletteColour021);
    EXPECT_EQ (helper.getImage (7).getPixelAt (0, 0), paletteColour024);

    // A new size renders every image again at twice the width.
    helper.prepare (60, 30);
    EXPECT_EQ (helper.getImage (5).getBounds(), juce::Rectangle<int> (0, 0, 120, 30));
}

TEST_F (PresetButtonTest, ImageChoiceFollowsTheMarkers)
{
    using H = PresetButtonHelper;
    // Filled: factory, user, changed on the unit; each untoggled and toggled.
    EXPECT_EQ (H::chooseImageIndex (false, false, false, false, false), 0);
    EXPECT_EQ (H::chooseImageIndex (false, false, false, false, true), 1);
    EXPECT_EQ (H::chooseImageIndex (false, false, false, true, false), 2);
    EXPECT_EQ (H::chooseImageIndex (false, false, false, true, true), 3);
    EXPECT_EQ (H::chooseImageIndex (false, true, true, false, false), 4);
    EXPECT_EQ (H::chooseImageIndex (false, true, true, true, true), 5);
    // A changed marker counts only on the unit's own data.
    EXPECT_EQ (H::chooseImageIndex (false, true, false, true, false), 2);
    // Empty slots ignore the factory comparison and the toggle.
    EXPECT_EQ (H::chooseImageIndex (true, false, false, true, true), 6);
    EXPECT_EQ (H::chooseImageIndex (true, true, false, false, false), 6);
    EXPECT_EQ (H::chooseImageIndex (true, true, true, true, true), 7);
}

TEST_F (PresetButtonTest, CellViewPaintsStateBackgroundTextAndBorder)
{
    const int y = 20;   // below the text's first line
    auto factory = cell (1);
    auto image = paint (*factory);
    EXPECT_TRUE (isNear (image.getPixelAt (3, y), gradientAt (paletteColour076, paletteColour030, y, 25), 4));

    factory->setToggleState (true, juce::dontSendNotification);
    image = paint (*factory);
    EXPECT_TRUE (isNear (image.getPixelAt (3, y), paletteColour050.brighter (0.2f), 2));

    auto user = cell (4);
    image = paint (*user);
    EXPECT_TRUE (isNear (image.getPixelAt (3, y), gradientAt (paletteColour046, paletteColour047, y, 25), 4));
    user->setToggleState (true, juce::dontSendNotification);
    EXPECT_TRUE (isNear (paint (*user).getPixelAt (3, y), paletteColour004.brighter (0.2f), 2));

    auto changedOnUnit = cell (4, true);
    changedOnUnit->setChanged (true);
    EXPECT_TRUE (isNear (paint (*changedOnUnit).getPixelAt (3, y), gradientAt (paletteColour053, paletteColour062, y, 25), 4));

    auto emptySlot = cell (6, true);
    emptySlot->setToggleState (true, juce::dontSendNotification);
    EXPECT_EQ (paint (*emptySlot).getPixelAt (3, y), paletteColour021);
    emptySlot->setChanged (true);
    EXPECT_EQ (paint (*emptySlot).getPixelAt (3, y), paletteColour024);

    // The one-pixel border on all four sides.
    image = paint (*factory);
    for (auto p : { juce::Point<int> (0, 12), juce::Point<int> (124, 12), juce::Point<int> (60, 0), juce::Point<int> (60, 24) })
        EXPECT_EQ (image.getPixelAt (p.x, p.y), paletteColour017) << p.toString();

    // Text: white normally, black while toggled.
    const juce::Rectangle<int> textArea (6, 4, 113, 17);
    EXPECT_GT (countPixelsNear (paint (*user), textArea, juce::Colours::black, 40), 0);
    user->setToggleState (false, juce::dontSendNotification);
    image = paint (*user);
    EXPECT_GT (countPixelsNear (image, textArea, juce::Colours::white, 40), 5);
    EXPECT_EQ (countPixelsNear (image, textArea, juce::Colours::black, 40), 0);
}

TEST_F (PresetButtonTest, StepBadgeOnlyForPresetsOfSeveralSteps)
{
    // The badge box darkens the top-right corner by black at 0.15.
    auto threeSteps = cell (3);
    auto oneStep = cell (4);
    ASSERT_EQ (threeSteps->getStepCount(), 3);
    ASSERT_EQ (oneStep->getStepCount(), 1);

    const auto withBadge = paint (*threeSteps);
    const auto without = paint (*oneStep);
    const auto bg = gradientAt (paletteColour046, paletteColour047, 2, 25);
    EXPECT_TRUE (isNear (without.getPixelAt (114, 2), bg, 4));
    EXPECT_TRUE (isNear (withBadge.getPixelAt (114, 2), bg.interpolatedWith (juce::Colours::black, 0.15f), 4));
    EXPECT_GT (countPixelsNear (withBadge, { 114, 1, 10, 9 }, juce::Colours::white, 60), 0);
    EXPECT_EQ (countPixelsNear (without, { 114, 1, 10, 9 }, juce::Colours::white, 60), 0);
}

TEST_F (PresetButtonTest, DisabledFilledButtonIsVeiledButEmptyIsNot)
{
    auto filled = cell (1);
    filled->setEnabled (false);
    const auto base = gradientAt (paletteColour076, paletteColour030, 20, 25);
    EXPECT_TRUE (isNear (paint (*filled).getPixelAt (3, 20), base.interpolatedWith (juce::Colours::white, 0.4f), 4));

    auto emptySlot = cell (7);
    emptySlot->setEnabled (false);
    EXPECT_EQ (paint (*emptySlot).getPixelAt (3, 20), paletteColour021);
}

TEST_F (PresetButtonTest, IconLayoutFigures)
{
    auto b = icon (4);
    EXPECT_EQ (b->getIconPosition(), juce::Point<int> (23, 4));     // 73 - 50; 45 - 44 raised to 4
    EXPECT_EQ (b->getTextArea(), juce::Rectangle<int> (7, 68, 133, 22));
    EXPECT_EQ (b->getNumberArea().getPosition(), juce::Point<int> (32, 22));
    EXPECT_EQ (b->getNumberArea().getWidth(), 80);
    EXPECT_FLOAT_EQ (b->getButtonFont().getHeight(), 13.0f);

    b->setSize (304, 190);
    EXPECT_EQ (b->getIconPosition(), juce::Point<int> (99, 48));    // 149 - 50; trunc (92.5 - 44)

    // The cell view sizes its font from the height.
    b->setViewType (PresetButton::cellView);
    b->setSize (125, 25);
    EXPECT_FLOAT_EQ (b->getButtonFont().getHeight(), 11.0f);
}

TEST_F (PresetButtonTest, IconFrameFollowsHoverPressAndToggle)
{
    auto b = icon (4);
    const juce::Point<int> frame (0, 45), inside (3, 45);

    auto image = paint (*b);
    EXPECT_EQ (image.getPixelAt (frame.x, frame.y).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (inside.x, inside.y).getAlpha(), 0);

    b->setState (juce::Button::buttonOver);
    image = paint (*b);
    EXPECT_EQ (image.getPixelAt (frame.x, frame.y), paletteColour013);
    EXPECT_EQ (image.getPixelAt (inside.x, inside.y), paletteColour002);

    b->setState (juce::Button::buttonDown);
    image = paint (*b);
    EXPECT_EQ (image.getPixelAt (frame.x, frame.y), paletteColour029);
    EXPECT_TRUE (isNear (image.getPixelAt (inside.x, inside.y), paletteColour032.brighter (0.4f), 1));

    b->setState (juce::Button::buttonNormal);
    b->setToggleState (true, juce::dontSendNotification);
    image = paint (*b);
    EXPECT_EQ (image.getPixelAt (frame.x, frame.y), paletteColour029);

    // The tile picture is the helper's image of the state, drawn 1:1 at the icon position.
    const auto& tile = getCurrentIconButtonHelper()->getImage (b->getImageIndex());
    EXPECT_EQ (b->getImageIndex(), 3);
    EXPECT_EQ (image.getPixelAt (23 + 50, 4 + 20), tile.getPixelAt (50, 20));

    // Disabled: the tile at 0.6 opacity.
    b->setToggleState (false, juce::dontSendNotification);
    b->setEnabled (false);
    image = paint (*b);
    EXPECT_NEAR (image.getPixelAt (23 + 50, 4 + 20).getAlpha(), 153, 2);
}

TEST_F (PresetButtonTest, IconShowsStepCountAfterTheSlotNumber)
{
    auto threeSteps = icon (3);
    auto oneStep = icon (4);
    const auto area = threeSteps->getNumberArea().withWidth (60).withHeight (16);

    // The same slot digit width; only the "(x3)" adds white ink.
    const int withSteps = countPixelsNear (paint (*threeSteps), area, juce::Colours::white, 50);
    const int plain = countPixelsNear (paint (*oneStep), area, juce::Colours::white, 50);
    EXPECT_GT (plain, 0);
    EXPECT_GT (withSteps, plain + 10);
}

TEST_F (PresetButtonTest, FindNearestButton)
{
    // Three per row, 100 x 20 each; index 0 is the hidden slot-0 button at the origin.
    juce::OwnedArray<PresetButton> buttons;
    for (int i = 0; i < 7; ++i)
    {
        auto* b = buttons.add (new PresetButton (i));
        const int k = juce::jmax (0, i - 1);
        b->setBounds ((k % 3) * 100, (k / 3) * 20, 100, 20);
    }

    EXPECT_EQ (findNearestPresetButton (buttons, { 5, 5 }), buttons[1]);     // never index 0
    EXPECT_EQ (findNearestPresetButton (buttons, { 150, 30 }), buttons[5]);
    // Midway between the centres of slots 1 and 2: the first of equals.
    EXPECT_EQ (findNearestPresetButton (buttons, { 100, 10 }), buttons[1]);

    // After the last button on its row, or below it: the last, even when another centre is nearer.
    EXPECT_EQ (findNearestPresetButton (buttons, { 50, 41 }), buttons[6]);   // slot 4's centre is nearer
    EXPECT_EQ (findNearestPresetButton (buttons, { 10, 300 }), buttons[6]);
    EXPECT_EQ (findNearestPresetButton (buttons, { 50, 40 }), buttons[6]);   // the bottom edge is outside
    // Above the last row counts as before it, however far right.
    EXPECT_EQ (findNearestPresetButton (buttons, { 310, 5 }), buttons[3]);

    juce::OwnedArray<PresetButton> one;
    one.add (new PresetButton (0));
    EXPECT_EQ (findNearestPresetButton (one, { -50, -50 }), one[0]);
    EXPECT_EQ (findNearestPresetButton (juce::OwnedArray<PresetButton>(), { 0, 0 }), nullptr);
}
