#include <gtest/gtest.h>
#include "ui/LSLookAndFeel.h"
#include "ui/LSApplicationFrameLaf.h"
#include "ui/OptionsDialogLaf.h"
#include "ui/SearchDialogLaf.h"
#include "ui/ColourPalette.h"
#include "core/Settings.h"
#include "support/TestEnvironment.h"
#include <functional>

using namespace juce;
using testing_support::TempHome;

namespace
{
    struct DrawingTest : ::testing::Test
    {
        TempHome home;
        std::unique_ptr<LSLookAndFeel> lnf;

        void SetUp() override
        {
            configureApplicationProperties();
            lnf = std::make_unique<LSLookAndFeel>();
        }
        void TearDown() override
        {
            lnf.reset();
            deleteApplicationProperties();
        }

        Image draw (int w, int h, const std::function<void (Graphics&)>& paint)
        {
            Image image (Image::ARGB, w, h, true);
            Graphics g (image);
            paint (g);
            return image;
        }
    };

    Image snapshot (Component& c)
    {
        return c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f);
    }

    ::testing::AssertionResult near (Colour actual, Colour expected, int tolerance = 6)
    {
        auto d = [] (uint8 a, uint8 b) { return std::abs ((int) a - (int) b); };
        if (d (actual.getAlpha(), expected.getAlpha()) <= tolerance && d (actual.getRed(), expected.getRed()) <= tolerance
            && d (actual.getGreen(), expected.getGreen()) <= tolerance && d (actual.getBlue(), expected.getBlue()) <= tolerance)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "0x" << actual.toString() << " is not near 0x" << expected.toString();
    }

    int count (const Image& image, Rectangle<int> area, const std::function<bool (Colour)>& test)
    {
        int n = 0;
        area = area.getIntersection (image.getBounds());
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                n += test (image.getPixelAt (x, y)) ? 1 : 0;
        return n;
    }

    bool opaque (Colour c) { return c.getAlpha() > 0; }
    bool dark (Colour c)   { return c.getAlpha() > 128 && c.getPerceivedBrightness() < 0.45f; }
}

TEST_F (DrawingTest, TextButtonIsAFlatGradientShape)
{
    TextButton button;
    button.setLookAndFeel (lnf.get());
    button.setSize (100, 31);

    auto image = snapshot (button);
    // A vertical gradient from the base colour brightened to it darkened, over the height.
    const auto top = paletteColour048.brighter (0.15f), bottom = paletteColour048.darker (0.15f);
    EXPECT_TRUE (near (image.getPixelAt (50, 15), top.interpolatedWith (bottom, 0.5f), 3));
    EXPECT_TRUE (near (image.getPixelAt (50, 3), top.interpolatedWith (bottom, 0.1f), 3));
    EXPECT_TRUE (near (image.getPixelAt (50, 27), top.interpolatedWith (bottom, 0.9f), 3));
    EXPECT_FALSE (near (image.getPixelAt (50, 0), top, 10));   // the darker outline

    button.setEnabled (false);
    image = snapshot (button);
    EXPECT_NEAR (image.getPixelAt (50, 15).getAlpha(), 128, 3);

    button.setSize (1, 20);   // nothing fits: nothing is drawn
    image = snapshot (button);
    EXPECT_EQ (count (image, image.getBounds(), opaque), 0);
    button.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, ToggleWithRadioGroupDrawsACircleElseATickBox)
{
    ToggleButton radio ("Radio");
    radio.setRadioGroupId (7);
    radio.setLookAndFeel (lnf.get());
    radio.setSize (120, 20);

    ToggleButton check ("Check");
    check.setLookAndFeel (lnf.get());
    check.setSize (120, 20);

    // Font 15: radio circle 0.7 x 16.5 across from x 4; tick box side 12 at (4, 4).
    const auto radioImage = snapshot (radio);
    const auto checkImage = snapshot (check);
    EXPECT_TRUE (near (radioImage.getPixelAt (9, 9), paletteColour090.brighter (0.4f), 10));
    EXPECT_TRUE (near (checkImage.getPixelAt (9, 9), paletteColour064, 3));
    EXPECT_TRUE (near (checkImage.getPixelAt (4, 9), paletteColour048, 3));   // the box's edge
    EXPECT_EQ (radioImage.getPixelAt (4, 4).getAlpha(), 0);                 // round: the corner stays empty
    EXPECT_GT (checkImage.getPixelAt (4, 4).getAlpha(), 200);               // square: the corner is drawn

    // The label starts 15/26 of the height plus the scaled margin to the right: x 22.
    EXPECT_EQ (count (checkImage, { 17, 0, 5, 20 }, opaque), 0);
    EXPECT_GT (count (checkImage, { 22, 0, 98, 20 }, dark), 20);

    radio.setLookAndFeel (nullptr);
    check.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, DisabledTickBoxAndTickAreHalfStrength)
{
    ToggleButton check;
    check.setLookAndFeel (lnf.get());
    check.setSize (40, 20);
    check.setToggleState (true, dontSendNotification);

    auto darkestRed = [] (const Image& image)
    {
        int darkest = 255;
        for (int y = 5; y < 15; ++y)
            for (int x = 5; x < 15; ++x)
                darkest = jmin (darkest, (int) image.getPixelAt (x, y).getRed());
        return darkest;
    };

    const auto enabled = snapshot (check);
    EXPECT_LT (darkestRed (enabled), 80);   // the tick's ink, 0x373b3e

    check.setEnabled (false);
    const auto disabled = snapshot (check);
    EXPECT_NEAR (disabled.getPixelAt (14, 14).getAlpha(), 128, 3);   // box at alpha 0.5
    EXPECT_GT (darkestRed (disabled), 95);                             // tick at opacity 0.5
    check.setLookAndFeel (nullptr);

    check.setToggleState (false, dontSendNotification);
    check.setEnabled (true);
    check.setLookAndFeel (lnf.get());
    EXPECT_GT (darkestRed (snapshot (check)), 200);   // no tick when off
    check.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, OptionsDialogSelectedTabIsFlatAndOthersKeepTheirGradient)
{
    OptionsDialogLaf options;
    TabbedComponent tabs (TabbedButtonBar::TabsAtTop);
    tabs.setLookAndFeel (&options);
    tabs.setTabBarDepth (30);
    tabs.addTab ("General", Colours::white, new Component(), true);
    tabs.addTab ("Devices", Colours::white, new Component(), true);
    tabs.setSize (400, 200);
    tabs.setCurrentTabIndex (0);

    auto image = snapshot (tabs);
    const auto selected = tabs.getTabbedButtonBar().getTabButton (0)->getBoundsInParent();
    const auto other = tabs.getTabbedButtonBar().getTabButton (1)->getBoundsInParent();

    EXPECT_TRUE (near (image.getPixelAt (selected.getX() + 4, 2), Colour (0xffdae1e6u), 2));
    EXPECT_TRUE (near (image.getPixelAt (selected.getX() + 4, 27), Colour (0xffdae1e6u), 2));
    EXPECT_TRUE (near (image.getPixelAt (other.getX() + 4, 1), Colour (0xfffefefeu), 4));
    EXPECT_TRUE (near (image.getPixelAt (other.getX() + 4, 28), Colour (0xffdbe2e6u), 4));
    EXPECT_TRUE (near (image.getPixelAt (other.getX() + 4, 0), paletteColour040, 2));   // the top outline

    // The bar itself has no background here: past the last tab nothing is painted.
    EXPECT_EQ (image.getPixelAt (390, 10).getAlpha(), 0);
    tabs.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, TabsOfTheMainLookAndFeel)
{
    TabbedComponent tabs (TabbedButtonBar::TabsAtTop);
    tabs.setLookAndFeel (lnf.get());
    tabs.setTabBarDepth (30);
    tabs.addTab ("Devices", Colours::white, new Component(), true);
    tabs.addTab ("Presets", Colours::white, new Component(), true);
    tabs.setSize (400, 200);
    tabs.setCurrentTabIndex (1);

    auto image = snapshot (tabs);
    const auto first = tabs.getTabbedButtonBar().getTabButton (0)->getBoundsInParent();
    const auto front = tabs.getTabbedButtonBar().getTabButton (1)->getBoundsInParent();

    EXPECT_TRUE (near (image.getPixelAt (front.getX() + 4, 10), paletteColour043, 2));   // selected: flat
    EXPECT_TRUE (near (image.getPixelAt (first.getX(), 15), paletteColour040, 2));       // left edge of tab 0
    EXPECT_TRUE (near (image.getPixelAt (first.getRight() - 1, 15), paletteColour040, 2));
    EXPECT_TRUE (near (image.getPixelAt (395, 1), paletteColour027, 4));    // bar background, top
    EXPECT_TRUE (near (image.getPixelAt (395, 28), paletteColour036, 6));   // and near the bottom
    EXPECT_TRUE (near (image.getPixelAt (395, 29), paletteColour040, 2));   // line behind the front tab

    // The selected tab's text in its own colour, the others' in theirs.
    auto hasInk = [&] (Rectangle<int> area, Colour colour)
    {
        return count (image, area, [&] (Colour c) { return (bool) near (c, colour, 12); }) > 5;
    };
    EXPECT_TRUE (hasInk (front.reduced (4), paletteColour011));
    EXPECT_TRUE (hasInk (first.reduced (4), paletteColour094));

    // Hovering darkens an unselected tab a little.
    auto* button = tabs.getTabbedButtonBar().getTabButton (0);
    auto hovered = draw (button->getWidth(), button->getHeight(),
                         [&] (Graphics& g) { lnf->drawTabButton (*button, g, true, false); });
    EXPECT_TRUE (near (hovered.getPixelAt (4, 1), paletteColour063.darker (0.05f), 3));
    tabs.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, TableHeaderBackgroundAndColumns)
{
    TableHeaderComponent header;
    header.setLookAndFeel (lnf.get());
    header.addColumn ("Name", 1, 100);
    header.addColumn ("Date", 2, 80);
    header.setSize (300, 24);
    header.setSortColumnId (1, true);

    auto image = snapshot (header);
    const Colour line (0xffccccccu);   // 0x33000000 over white
    EXPECT_TRUE (near (image.getPixelAt (250, 23), line, 2));
    EXPECT_TRUE (near (image.getPixelAt (250, 10), Colours::white, 0));
    EXPECT_TRUE (near (image.getPixelAt (99, 5), line, 2));            // separator after the first column
    EXPECT_TRUE (near (image.getPixelAt (179, 5), Colours::white, 0));  // none after the last

    // Sort arrow in the right strip of the sorted column; its name in slate on the left.
    EXPECT_GT (count (image, { 84, 2, 12, 20 }, [] (Colour c) { return c.getRed() < 0x90; }), 4);
    EXPECT_GT (count (image, { 4, 2, 60, 20 }, [] (Colour c) { return (bool) near (c, paletteColour113, 16); }), 5);

    auto hovered = draw (100, 24, [&] (Graphics& g)
                         { lnf->drawTableHeaderColumn (g, header, "Name", 1, 100, 24, true, false, 0); });
    EXPECT_TRUE (near (hovered.getPixelAt (2, 2), paletteColour009, 0));
    header.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, ProgressBarFillsAndStripes)
{
    double progress = 0.0;
    ProgressBar bar (progress);
    bar.setLookAndFeel (lnf.get());

    auto half = draw (202, 20, [&] (Graphics& g) { lnf->drawProgressBar (g, bar, 202, 20, 0.5, {}); });
    EXPECT_TRUE (near (half.getPixelAt (50, 10), paletteColour001, 0));
    EXPECT_TRUE (near (half.getPixelAt (150, 10), paletteColour028, 0));
    EXPECT_TRUE (near (half.getPixelAt (50, 0), paletteColour028, 0));   // 1-pixel frame

    auto text = draw (202, 20, [&] (Graphics& g) { lnf->drawProgressBar (g, bar, 202, 20, 0.5, "Half"); });
    int darkest = 255;
    for (int x = 80; x < 122; ++x)
        for (int y = 4; y < 16; ++y)
            darkest = jmin (darkest, (int) text.getPixelAt (x, y).getRed());
    EXPECT_LT (darkest, 60);   // black text on the house pair of colours

    bar.setColour (ProgressBar::backgroundColourId, Colours::black);
    bar.setColour (ProgressBar::foregroundColourId, Colour (0xff202020u));
    auto other = draw (202, 20, [&] (Graphics& g) { lnf->drawProgressBar (g, bar, 202, 20, 0.5, "Half"); });
    float brightest = 0.0f;
    for (int x = 80; x < 122; ++x)
        for (int y = 4; y < 16; ++y)
            brightest = jmax (brightest, other.getPixelAt (x, y).getPerceivedBrightness());
    EXPECT_GT (brightest, 0.3f);   // any other pair: a colour that contrasts with both
    bar.removeColour (ProgressBar::backgroundColourId);
    bar.removeColour (ProgressBar::foregroundColourId);

    auto busy = draw (202, 20, [&] (Graphics& g) { lnf->drawProgressBar (g, bar, 202, 20, -1.0, {}); });
    const int fore = count (busy, { 0, 10, 202, 1 }, [] (Colour c) { return (bool) near (c, paletteColour001, 2); });
    const int back = count (busy, { 0, 10, 202, 1 }, [] (Colour c) { return (bool) near (c, paletteColour028, 2); });
    EXPECT_GT (fore, 50);
    EXPECT_GT (back, 50);
    bar.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, ScrollbarTrackAndThumb)
{
    ScrollBar bar (true);
    bar.setLookAndFeel (lnf.get());
    bar.setAutoHide (false);
    bar.setSize (16, 200);
    bar.setRangeLimits (0.0, 100.0);
    bar.setCurrentRange (0.0, 20.0);

    auto image = snapshot (bar);
    EXPECT_TRUE (near (image.getPixelAt (0, 199), paletteColour111, 0));
    EXPECT_TRUE (near (image.getPixelAt (1, 10), paletteColour111, 0));   // inset by a quarter of 16
    EXPECT_LT (image.getPixelAt (8, 20).getBrightness(), paletteColour111.getBrightness() - 0.02f);
    bar.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, LinearSliderTrackAndThumb)
{
    Slider slider (Slider::LinearHorizontal, Slider::NoTextBox);
    slider.setLookAndFeel (lnf.get());
    slider.setRange (0.0, 1.0);
    slider.setValue (0.5, dontSendNotification);
    slider.setSize (200, 30);

    auto image = snapshot (slider);
    EXPECT_TRUE (near (image.getPixelAt (1, 1), paletteColour056, 0));           // the slider's background
    EXPECT_TRUE (near (image.getPixelAt (100, 15), paletteColour068, 10));       // thumb centre
    EXPECT_EQ (lnf->getSliderThumbRadius (slider), 15);
    EXPECT_TRUE (near (image.getPixelAt (30, 15), Colours::white, 40));          // a light track
    EXPECT_FALSE (near (image.getPixelAt (30, 15), paletteColour056, 0));
    slider.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, GroupOutlineIsThinAndFadesWhenDisabled)
{
    GroupComponent group ("group", "Options");
    group.setLookAndFeel (lnf.get());
    group.setSize (200, 100);

    auto image = snapshot (group);
    const auto left = image.getPixelAt (3, 60);
    EXPECT_GT (left.getAlpha(), 60);
    EXPECT_TRUE (near (left.withAlpha ((uint8) 255), paletteColour088.withAlpha ((uint8) 255), 10));
    EXPECT_EQ (image.getPixelAt (8, 60).getAlpha(), 0);   // the inside stays empty
    EXPECT_GT (count (image, { 0, 0, 80, 16 }, [] (Colour c) { return c.getAlpha() > 200; }), 10);   // the text

    group.setEnabled (false);
    auto faded = snapshot (group);
    EXPECT_NEAR (faded.getPixelAt (3, 60).getAlpha(), left.getAlpha() / 2, 6);
    group.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, PanelHeaderHairlinesAndTitle)
{
    auto middle = draw (200, 24, [&] (Graphics& g) { lnf->drawPanelHeader (g, { 0, 0, 200, 24 }, "Backups", false, false); });
    auto first = draw (200, 24, [&] (Graphics& g) { lnf->drawPanelHeader (g, { 0, 0, 200, 24 }, "Backups", false, true); });

    EXPECT_TRUE (near (first.getPixelAt (150, 0), paletteColour007, 3));
    EXPECT_LT (middle.getPixelAt (150, 0).getBrightness(), first.getPixelAt (150, 0).getBrightness() - 0.03f);
    EXPECT_LT (first.getPixelAt (150, 23).getBrightness(), first.getPixelAt (150, 22).getBrightness());
    EXPECT_GT (count (first, { 4, 0, 80, 24 }, dark), 20);

    auto hovered = draw (200, 24, [&] (Graphics& g) { lnf->drawPanelHeader (g, { 0, 0, 200, 24 }, "Backups", true, true); });
    EXPECT_LT (hovered.getPixelAt (150, 1).getAlpha(), 128);

    auto narrow = draw (6, 24, [&] (Graphics& g) { lnf->drawPanelHeader (g, { 0, 0, 6, 24 }, "Backups", false, true); });
    EXPECT_EQ (count (narrow, narrow.getBounds(), dark), 0);
}

TEST_F (DrawingTest, ResizerBarAndCornerResizer)
{
    auto idle = draw (8, 100, [&] (Graphics& g) { lnf->drawStretchableLayoutResizerBar (g, 8, 100, true, false, false); });
    auto over = draw (8, 100, [&] (Graphics& g) { lnf->drawStretchableLayoutResizerBar (g, 8, 100, true, true, false); });
    EXPECT_TRUE (near (idle.getPixelAt (0, 0), paletteColour057, 0));
    EXPECT_TRUE (near (over.getPixelAt (0, 0), paletteColour057.brighter (0.4f), 0));
    EXPECT_FALSE (near (idle.getPixelAt (4, 50), paletteColour057, 3));   // the disc

    auto grip = draw (16, 16, [&] (Graphics& g) { lnf->drawCornerResizer (g, 16, 16, false, false); });
    EXPECT_GT (count (grip, { 6, 6, 7, 7 }, opaque), 5);
    EXPECT_EQ (count (grip, { 13, 0, 3, 16 }, opaque), 0);
    EXPECT_EQ (count (grip, { 0, 0, 4, 4 }, opaque), 0);
}

TEST_F (DrawingTest, ToolbarBackgroundButtonsAndLabels)
{
    Toolbar toolbar;
    auto horizontal = draw (300, 40, [&] (Graphics& g) { lnf->paintToolbarBackground (g, 300, 40, toolbar); });
    EXPECT_TRUE (near (horizontal.getPixelAt (10, 0), paletteColour043, 1));
    EXPECT_TRUE (near (horizontal.getPixelAt (10, 39), paletteColour019, 1));

    toolbar.setVertical (true);
    auto vertical = draw (40, 300, [&] (Graphics& g) { lnf->paintToolbarBackground (g, 40, 300, toolbar); });
    EXPECT_TRUE (near (vertical.getPixelAt (0, 10), paletteColour043, 1));
    EXPECT_TRUE (near (vertical.getPixelAt (39, 10), paletteColour019, 1));

    toolbar.setColour (Toolbar::backgroundColourId, Colours::red);
    auto own = draw (40, 300, [&] (Graphics& g) { lnf->paintToolbarBackground (g, 40, 300, toolbar); });
    EXPECT_TRUE (near (own.getPixelAt (0, 10), Colours::red, 2));

    struct Item : ToolbarItemComponent
    {
        Item() : ToolbarItemComponent (1, "Sync", true) {}
        bool getToolbarItemSizes (int, bool, int& p, int& mn, int& mx) override { p = mn = mx = 40; return true; }
        void paintButtonArea (Graphics&, int, int, bool, bool) override {}
        void contentAreaChanged (const Rectangle<int>&) override {}
    } item;
    item.setLookAndFeel (lnf.get());

    auto over = draw (40, 40, [&] (Graphics& g) { lnf->paintToolbarButtonBackground (g, 40, 40, true, false, item); });
    auto down = draw (40, 40, [&] (Graphics& g) { lnf->paintToolbarButtonBackground (g, 40, 40, true, true, item); });
    auto idle = draw (40, 40, [&] (Graphics& g) { lnf->paintToolbarButtonBackground (g, 40, 40, false, false, item); });
    EXPECT_TRUE (near (over.getPixelAt (20, 20), paletteColour018, 0));
    EXPECT_TRUE (near (down.getPixelAt (20, 20), paletteColour066, 0));
    EXPECT_EQ (over.getPixelAt (2, 20).getAlpha(), 0);   // clipped 4 pixels in
    EXPECT_EQ (count (idle, idle.getBounds(), opaque), 0);

    auto label = draw (80, 30, [&] (Graphics& g) { lnf->paintToolbarButtonLabel (g, 0, 0, 80, 30, "Sync", item); });
    auto labelInk = [] (Colour c) { return c.getAlpha() > 150 && near (c.withAlpha ((uint8) 255), paletteColour082, 30); };
    EXPECT_GT (count (label, label.getBounds(), labelInk), 5);
    item.setEnabled (false);
    auto faint = draw (80, 30, [&] (Graphics& g) { lnf->paintToolbarButtonLabel (g, 0, 0, 80, 30, "Sync", item); });
    EXPECT_EQ (count (faint, faint.getBounds(), [] (Colour c) { return c.getAlpha() > 70; }), 0);
    item.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, TooltipPopupHeaderAndSearchMenu)
{
    auto tip = draw (100, 24, [&] (Graphics& g) { lnf->drawTooltip (g, "Scan", 100, 24); });
    EXPECT_TRUE (near (tip.getPixelAt (3, 3), paletteColour005, 0));
    EXPECT_FALSE (near (tip.getPixelAt (0, 12), paletteColour005, 3));   // the outline
    EXPECT_GT (count (tip, { 20, 2, 60, 20 }, dark), 10);

    auto header = draw (200, 30, [&] (Graphics& g) { lnf->drawPopupMenuSectionHeader (g, { 0, 0, 200, 30 }, "Section"); });
    EXPECT_EQ (count (header, { 0, 0, 12, 30 }, opaque), 0);
    EXPECT_GT (count (header, { 12, 0, 188, 24 }, [] (Colour c) { return (bool) near (c, paletteColour113, 12); }), 5);

    SearchDialogLaf search;
    auto menu = draw (120, 60, [&] (Graphics& g) { search.drawPopupMenuBackground (g, 120, 60); });
    EXPECT_TRUE (near (menu.getPixelAt (10, 10), paletteColour112, 0));
    EXPECT_TRUE (near (menu.getPixelAt (0, 30), paletteColour113, 0));
    EXPECT_TRUE (near (menu.getPixelAt (119, 30), paletteColour113, 0));
}

TEST_F (DrawingTest, TitleBarsOfTheBaseAndTheFrame)
{
    DocumentWindow window ("Larkspire 2", Colour (0xffd3d3d3u), DocumentWindow::allButtons, false);
    window.setLookAndFeel (lnf.get());
    window.setSize (600, 300);

    auto base = draw (600, 26, [&] (Graphics& g)
                      { lnf->drawDocumentWindowTitleBar (window, g, 600, 26, 10, 400, nullptr, true); });
    EXPECT_TRUE (near (base.getPixelAt (500, 0), paletteColour060, 4));
    EXPECT_TRUE (near (base.getPixelAt (500, 25), paletteColour040, 0));
    EXPECT_GT (count (base, { 10, 0, 150, 25 }, [] (Colour c) { return (bool) near (c, paletteColour071, 20); }), 10);

    LSApplicationFrameLaf frameLaf;
    window.setLookAndFeel (&frameLaf);
    auto frame = draw (600, 26, [&] (Graphics& g)
                       { frameLaf.drawDocumentWindowTitleBar (window, g, 600, 26, 10, 400, nullptr, true); });
    EXPECT_TRUE (near (frame.getPixelAt (500, 0), paletteColour060, 4));
    EXPECT_TRUE (near (frame.getPixelAt (500, 24), paletteColour027, 4));
    // The wordmark (grey) in place of the slate title text.
    auto grey = [] (Colour c)
    {
        return c.getPerceivedBrightness() < 0.8f && std::abs (c.getRed() - c.getBlue()) < 10 && std::abs (c.getRed() - c.getGreen()) < 10;
    };
    EXPECT_GT (count (frame, { 10, 0, 200, 25 }, grey), 40);
    EXPECT_EQ (count (frame, { 10, 0, 200, 25 }, [] (Colour c) { return (bool) near (c, paletteColour071, 20); }), 0);

    // Title-bar buttons are image buttons named after their role.
    auto* close = window.getCloseButton();
    ASSERT_NE (close, nullptr);
    EXPECT_EQ (close->getName(), "close");
    EXPECT_NE (dynamic_cast<ImageButton*> (close), nullptr);
    EXPECT_EQ (window.getMinimiseButton()->getName(), "minimize");
    EXPECT_EQ (window.getMaximiseButton()->getName(), "maximize");
    window.setLookAndFeel (nullptr);
}

TEST_F (DrawingTest, WindowButtonsLightenWhenHoveredAndPressed)
{
    std::unique_ptr<Button> button (lnf->createDocumentWindowButton (DocumentWindow::closeButton));
    ASSERT_NE (button, nullptr);
    button->setSize (48, 48);

    auto inkOf = [&] (Button::ButtonState state)
    {
        button->setState (state);
        const auto image = snapshot (*button);
        return image.getPixelAt (24, 24);   // the middle of the cross
    };
    const auto normal = inkOf (Button::buttonNormal);
    const auto over = inkOf (Button::buttonOver);
    const auto down = inkOf (Button::buttonDown);

    EXPECT_TRUE (near (normal, paletteColour071, 12));
    EXPECT_GT (over.getBrightness(), normal.getBrightness() + 0.15f);
    EXPECT_GT (down.getBrightness(), over.getBrightness());
}

TEST_F (DrawingTest, RenderToDrawableImage)
{
    DrawableImage target;
    LSLookAndFeel::renderToDrawableImage (target, nullptr, Colours::red);
    EXPECT_FALSE (target.getImage().isValid());

    const auto overlay = Colours::white.withAlpha (0.3f);
    LSLookAndFeel::renderToDrawableImage (target, lnf->getTickDrawable(), overlay);
    ASSERT_TRUE (target.getImage().isValid());
    const auto size = lnf->getTickDrawable()->getDrawableBounds();
    EXPECT_EQ (target.getImage().getWidth(), roundToInt (size.getWidth()));
    EXPECT_EQ (target.getImage().getHeight(), roundToInt (size.getHeight()));
    EXPECT_EQ (target.getOverlayColour(), overlay);
    EXPECT_GT (count (target.getImage(), target.getImage().getBounds(), opaque), 10);

    // The drawable stays with the caller and renders again.
    DrawableImage second;
    LSLookAndFeel::renderToDrawableImage (second, lnf->getTickDrawable(), {});
    EXPECT_TRUE (second.getImage().isValid());
}
