#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "core/EmbeddedResources.h"
#include "core/Settings.h"
#include "ui/ArchiveButton.h"
#include "ui/ColourPalette.h"
#include "ui/DeviceToolbarItemFactory.h"
#include "ui/LSLookAndFeel.h"
#include "ui/TextOnlyButton.h"
#include "ui/ToolbarButtonEx.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    struct LookAndFeelScope
    {
        LookAndFeelScope()
        {
            configureApplicationProperties();
            lookAndFeel = std::make_unique<LSLookAndFeel>();
            juce::LookAndFeel::setDefaultLookAndFeel (lookAndFeel.get());
        }
        ~LookAndFeelScope()
        {
            juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
            lookAndFeel.reset();
            deleteApplicationProperties();
        }
        TempHome home;
        std::unique_ptr<LSLookAndFeel> lookAndFeel;
    };

    // Pixels close to a colour, among those at least this opaque (the colour of faint
    // antialiased edges is imprecise).
    int countNear (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour, int tolerance,
                   int minimumAlpha = 0)
    {
        int n = 0;
        const auto r = area.getIntersection (image.getBounds());
        for (int y = r.getY(); y < r.getBottom(); ++y)
            for (int x = r.getX(); x < r.getRight(); ++x)
            {
                const auto p = image.getPixelAt (x, y);
                if (p.getAlpha() > minimumAlpha && std::abs (p.getRed() - colour.getRed()) <= tolerance
                    && std::abs (p.getGreen() - colour.getGreen()) <= tolerance
                    && std::abs (p.getBlue() - colour.getBlue()) <= tolerance)
                    ++n;
            }
        return n;
    }

    std::unique_ptr<ToolbarButtonEx> makeItem (int id, bool withToggled)
    {
        int size = 0, toggledSize = 0;
        auto* svg = getEmbeddedResource ("toolbar_device_scan_svg", size);
        auto* toggled = withToggled ? getEmbeddedResource ("toolbar_device_info_svg", toggledSize) : nullptr;
        return ToolbarButtonEx::createFromSvg (id, "Two\nLines", "tip", svg, (size_t) size, toggled, (size_t) toggledSize);
    }
}

TEST (DeviceToolbar, FactoryOffersFiveItemsWithLabelsTooltipsAndIcons)
{
    LookAndFeelScope laf;
    DeviceToolbarItemFactory factory;

    juce::Array<int> all, defaults;
    factory.getAllToolbarItemIds (all);
    factory.getDefaultItemSet (defaults);
    EXPECT_EQ (all, juce::Array<int> ({ 1, 2, 3, 4, 5, -1, -2, -3 }));
    EXPECT_EQ (defaults, juce::Array<int> ({ 1, 2, 4 }));

    const char* labels[] = { "Scan", "Disconnect", "Info", "Update", "Custom" };
    const char* tips[] = { "Identify MIDI devices", "Disconnect device", "Show device information",
                           "Upgrade to latest firmware", "Show available firmware builds" };
    for (int id = 1; id <= 5; ++id)
    {
        std::unique_ptr<juce::ToolbarItemComponent> item (factory.createItem (id));
        ASSERT_NE (item, nullptr) << id;
        auto* button = dynamic_cast<ToolbarButtonEx*> (item.get());
        ASSERT_NE (button, nullptr) << id;
        EXPECT_EQ (button->getItemId(), id);
        EXPECT_EQ (button->getButtonText(), labels[id - 1]);
        EXPECT_EQ (button->getTooltip(), tips[id - 1]);
        EXPECT_NE (button->getCurrentImage(), nullptr);
        EXPECT_EQ (button->getToggledImage(), nullptr);
    }

    for (int id : { 0, 6, 27, -1 })
        EXPECT_EQ (std::unique_ptr<juce::ToolbarItemComponent> (factory.createItem (id)), nullptr) << id;

    const char garbage[] = "<svg this is not";
    EXPECT_EQ (ToolbarButtonEx::createFromSvg (1, "x", "y", garbage, sizeof (garbage)), nullptr);
    EXPECT_EQ (ToolbarButtonEx::createFromSvg (1, "x", "y", nullptr, 0), nullptr);
}

TEST (DeviceToolbar, DefaultToolbarDrawsEachIconInItsGreyWithItsLabel)
{
    LookAndFeelScope laf;
    DeviceToolbarItemFactory factory;
    juce::Toolbar toolbar;
    toolbar.addDefaultItems (factory);
    toolbar.setStyle (juce::Toolbar::iconsWithText);
    toolbar.setBounds (0, 0, 400, 63);
    ASSERT_EQ (toolbar.getNumItems(), 3);

    const auto image = toolbar.createComponentSnapshot (toolbar.getLocalBounds(), true, 1.0f);
    const juce::Colour iconGrey (0xff788791);
    for (int i = 0; i < toolbar.getNumItems(); ++i)
    {
        auto* item = toolbar.getItemComponent (i);
        const auto content = item->getContentArea() + item->getPosition();
        EXPECT_GT (countNear (image, content, iconGrey, 8), 20) << i;
        // The label sits under the picture.
        const auto below = juce::Rectangle<int> (item->getX(), content.getBottom(), item->getWidth(),
                                                 item->getBottom() - content.getBottom());
        EXPECT_GT (countNear (image, below, item->findColour (juce::Toolbar::labelTextColourId, true), 60), 3) << i;
    }
}

TEST (ToolbarButtonEx, ChoosesItsPictureByToggleAndStyleAndFadesItWhenDisabled)
{
    LookAndFeelScope laf;
    auto item = makeItem (12, true);
    ASSERT_NE (item, nullptr);
    item->setStyle (juce::Toolbar::iconsWithText);
    item->setBounds (0, 0, 60, 60);

    int preferred = 0, minimum = 0, maximum = 0;
    EXPECT_TRUE (item->getToolbarItemSizes (47, false, preferred, minimum, maximum));
    EXPECT_EQ (preferred, 47);
    EXPECT_EQ (minimum, 47);
    EXPECT_EQ (maximum, 47);

    EXPECT_EQ (item->getCurrentImage(), item->getNormalImage());
    item->setToggleState (true, juce::dontSendNotification);
    EXPECT_EQ (item->getCurrentImage(), item->getToggledImage());
    EXPECT_TRUE (item->getToggledImage()->isVisible());
    EXPECT_EQ (item->getToggledImage()->getParentComponent(), item.get());
    EXPECT_EQ (item->getNormalImage()->getParentComponent(), nullptr);

    // The picture is placed in the content area, scaled to 0.7 of it and moved up.
    const auto content = item->getContentArea().toFloat();
    const auto shown = item->getCurrentImage()->getDrawableBounds()
                           .transformedBy (item->getCurrentImage()->getTransform());
    EXPECT_LE (shown.getWidth(), content.getWidth() * 0.7f + 0.5f);
    EXPECT_LT (shown.getCentreY(), content.getCentreY());
    bool self = true, children = true;
    item->getCurrentImage()->getInterceptsMouseClicks (self, children);
    EXPECT_FALSE (self);

    item->setEnabled (false);
    EXPECT_NEAR (item->getCurrentImage()->getAlpha(), 0.5f, 0.01f);
    item->setEnabled (true);
    EXPECT_NEAR (item->getCurrentImage()->getAlpha(), 1.0f, 0.01f);

    // Text only: no picture, toggled or not.
    item->setStyle (juce::Toolbar::textOnly);
    EXPECT_EQ (item->getCurrentImage(), nullptr);
    item->setToggleState (false, juce::dontSendNotification);
    item->setToggleState (true, juce::dontSendNotification);
    EXPECT_EQ (item->getCurrentImage(), nullptr);
    EXPECT_EQ (item->getToggledImage()->getParentComponent(), nullptr);

    item->setStyle (juce::Toolbar::iconsOnly);
    EXPECT_EQ (item->getCurrentImage(), item->getToggledImage());
}

TEST (TextOnlyButton, DarkensWhileHoveredAndPressedKeepsItsJustificationAndFadesWhenDisabled)
{
    LookAndFeelScope laf;
    TextOnlyButton button ("Sign in", "Click to sign in", juce::Justification::centredLeft);
    button.setSize (120, 20);

    const juce::Colour link (0xff0000ff);
    button.setColour (juce::HyperlinkButton::textColourId, link);

    auto paint = [&] (bool over, bool down)
    {
        juce::Image image (juce::Image::ARGB, button.getWidth(), button.getHeight(), true);
        juce::Graphics g (image);
        button.paintButton (g, over, down);
        return image;
    };

    const auto plain = paint (false, false);
    EXPECT_GT (countNear (plain, plain.getBounds(), link, 10), 10);
    // Left justified: the ink starts at the left and the right half stays empty.
    EXPECT_EQ (countNear (plain, plain.getBounds().withTrimmedLeft (90), link, 250), 0);

    const auto hovered = paint (true, false);
    EXPECT_EQ (countNear (hovered, hovered.getBounds(), link, 10, 200), 0);
    EXPECT_GT (countNear (hovered, hovered.getBounds(), link.darker (0.4f), 10, 200), 10);

    const auto pressed = paint (true, true);
    EXPECT_GT (countNear (pressed, pressed.getBounds(), link.darker (1.3f), 10), 10);

    auto strongestAlpha = [] (const juce::Image& image)
    {
        int strongest = 0;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                strongest = juce::jmax (strongest, (int) image.getPixelAt (x, y).getAlpha());
        return strongest;
    };
    EXPECT_EQ (strongestAlpha (plain), 255);

    // Disabled: faded to 0.4 (where the underline crosses a glyph the two layers add up),
    // and no darkening for the mouse.
    button.setEnabled (false);
    const auto disabled = paint (true, false);
    EXPECT_GT (strongestAlpha (disabled), 0);
    EXPECT_LE (strongestAlpha (disabled), 165);
    EXPECT_EQ (countNear (disabled, disabled.getBounds(), link.darker (0.4f), 10, 60), 0);
}

TEST (ArchiveButton, TileShowsFrameOnlyWhenHoveredPressedOrSelected)
{
    LookAndFeelScope laf;
    juce::ValueTree node ("node");
    node.setProperty ("label", "Live Set Backup", nullptr);
    ArchiveButton tile (node);

    EXPECT_EQ (tile.getName(), "Live Set Backup");
    EXPECT_EQ (tile.getWidth(), 150);
    EXPECT_EQ (tile.getHeight(), 165);
    ASSERT_NE (tile.getPicture(), nullptr);

    // The picture fills 0.87 of the inner width (the tile is taller than the picture is),
    // centred horizontally and above the title.
    const auto picture = tile.getPictureArea();
    const auto inner = tile.getInnerArea();
    EXPECT_NEAR (picture.getCentreX(), inner.getCentreX(), 0.01f);
    EXPECT_NEAR (picture.getCentreY(), inner.getCentreY() - 14.0f * 0.9f, 0.01f);
    EXPECT_LE (picture.getWidth(), inner.getWidth() * 0.87f + 0.01f);

    auto paint = [&] (bool over, bool down)
    {
        juce::Image image (juce::Image::ARGB, tile.getWidth(), tile.getHeight(), true);
        juce::Graphics g (image);
        tile.paintButton (g, over, down);
        return image;
    };

    const int edgeY = tile.getHeight() / 2;
    EXPECT_EQ (paint (false, false).getPixelAt (0, edgeY).getAlpha(), 0);
    EXPECT_EQ (paint (true, false).getPixelAt (0, edgeY), paletteColour013);
    EXPECT_EQ (paint (true, false).getPixelAt (3, 3), paletteColour002);
    EXPECT_EQ (paint (false, true).getPixelAt (0, edgeY), paletteColour029);
    tile.setToggleState (true, juce::dontSendNotification);
    const auto selected = paint (false, false);
    EXPECT_EQ (selected.getPixelAt (0, edgeY), paletteColour029);

    // The title is written in the bottom band.
    const auto titleBand = juce::Rectangle<int> ((int) inner.getX(), (int) (inner.getBottom() - 29.0f),
                                                 (int) inner.getWidth(), 28);
    EXPECT_GT (countNear (selected, titleBand, paletteColour071, 50), 10);
}
