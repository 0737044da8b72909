#include <gtest/gtest.h>
#include "core/Settings.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "support/TestEnvironment.h"

using namespace juce;

namespace
{
    // Alert windows live on the desktop, so their drawing is checked here, with a display.
    struct AlertBoxTest : ::testing::Test
    {
        testing_support::TempHome home;
        std::unique_ptr<LSLookAndFeel> lnf;
        void SetUp() override    { configureApplicationProperties(); lnf = std::make_unique<LSLookAndFeel>(); }
        void TearDown() override { lnf.reset(); deleteApplicationProperties(); }

        Image paintAlert (MessageBoxIconType icon, int buttons = 1)
        {
            AlertWindow alert ("Problem", "Something went wrong with the unit.", icon);
            alert.setLookAndFeel (lnf.get());
            for (int i = 0; i < buttons; ++i)
                alert.addButton ("Button " + String (i), i);
            auto image = alert.createComponentSnapshot (alert.getLocalBounds(), true, 1.0f);
            alert.setLookAndFeel (nullptr);
            return image;
        }
    };

    bool near (Colour a, Colour b, int tolerance)
    {
        return std::abs (a.getRed() - b.getRed()) <= tolerance && std::abs (a.getGreen() - b.getGreen()) <= tolerance
            && std::abs (a.getBlue() - b.getBlue()) <= tolerance;
    }
}

TEST_F (AlertBoxTest, IconSitsInAPaleCircleWithItsOwnColour)
{
    const auto background = paletteColour093;
    const auto circle = background.overlaidWith (paletteColour008.withAlpha (0.8f));

    struct Case { MessageBoxIconType type; Colour ink; };
    for (auto c : { Case { MessageBoxIconType::WarningIcon,  Colour (0xffba756fu) },
                    Case { MessageBoxIconType::QuestionIcon, Colour (0xff708dbau) },
                    Case { MessageBoxIconType::InfoIcon,     Colour (0xff8cc77bu) } })
    {
        const auto image = paintAlert (c.type);
        ASSERT_GT (image.getHeight(), 80);

        // Circle of 90 across from (-10, -10): the point (4, 40) is in it, away from the glyph.
        EXPECT_TRUE (near (image.getPixelAt (4, 40), circle, 3)) << image.getPixelAt (4, 40).toString();
        EXPECT_TRUE (near (image.getPixelAt (image.getWidth() - 5, image.getHeight() / 2), background, 1));

        // The glyph, at opacity 0.7 over the circle, somewhere in the circle's middle.
        const auto glyph = circle.overlaidWith (c.ink.withAlpha (0.7f));
        int hits = 0;
        for (int y = 5; y < 75; ++y)
            for (int x = 5; x < 65; ++x)
                hits += near (image.getPixelAt (x, y), glyph, 6) ? 1 : 0;
        EXPECT_GT (hits, 100) << "icon " << (int) c.type;

        // The outline round the whole box.
        EXPECT_TRUE (near (image.getPixelAt (image.getWidth() / 2, 0), lnf->findColour (AlertWindow::outlineColourId), 1));
    }
}

TEST_F (AlertBoxTest, TextStartsRightOfTheIconAndNoIconMeansNoCircle)
{
    const auto withIcon = paintAlert (MessageBoxIconType::InfoIcon);
    const auto without = paintAlert (MessageBoxIconType::NoIcon);

    EXPECT_TRUE (near (without.getPixelAt (4, 40), paletteColour093, 1));

    // Message text in the alert's text colour, all of it right of the 80-pixel icon space.
    auto textInk = [] (const Image& image, int fromX, int toX)
    {
        int n = 0;
        for (int y = 0; y < image.getHeight() / 2; ++y)
            for (int x = fromX; x < toX; ++x)
                n += near (image.getPixelAt (x, y), paletteColour012, 30) ? 1 : 0;
        return n;
    };
    EXPECT_GT (textInk (withIcon, 80, withIcon.getWidth()), 30);
    EXPECT_EQ (textInk (withIcon, 0, 75), 0);
    EXPECT_GT (textInk (without, 0, 75), 0);
}
