#include <gtest/gtest.h>
#include "ui/LSLookAndFeel.h"
#include "ui/LSApplicationFrameLaf.h"
#include "ui/OptionsDialogLaf.h"
#include "ui/SearchDialogLaf.h"
#include "core/Settings.h"
#include "support/TestEnvironment.h"

using namespace juce;
using testing_support::TempHome;

namespace
{
    struct LookAndFeelTest : ::testing::Test
    {
        TempHome home;
        void SetUp() override    { configureApplicationProperties(); }
        void TearDown() override { deleteApplicationProperties(); }

        static void setScale (double s) { setSetting (SettingsKeys::uiScalingFactor, s); }
    };

    struct IdColour { int id; uint32 argb; const char* name; };

    // The colour of every id the look and feel sets, as it reads after construction.
    const IdColour expectedColours[] =
    {
        { DocumentWindow::textColourId,               0xff42545e, "DocumentWindow::textColourId" },
        { TooltipWindow::backgroundColourId,          0xffeeeebb, "TooltipWindow::backgroundColourId" },
        { TooltipWindow::textColourId,                0xff000000, "TooltipWindow::textColourId" },
        { TooltipWindow::outlineColourId,             0x4c000000, "TooltipWindow::outlineColourId" },
        { PopupMenu::backgroundColourId,              0xffffffff, "PopupMenu::backgroundColourId" },
        { PopupMenu::textColourId,                    0xff000000, "PopupMenu::textColourId" },
        { PopupMenu::headerTextColourId,              0xff000000, "PopupMenu::headerTextColourId" },
        { PopupMenu::highlightedBackgroundColourId,   0xffa2b5c4, "PopupMenu::highlightedBackgroundColourId" },
        { PopupMenu::highlightedTextColourId,         0xff000000, "PopupMenu::highlightedTextColourId" },
        { AlertWindow::backgroundColourId,            0xffdae1e6, "AlertWindow::backgroundColourId" },
        { AlertWindow::textColourId,                  0xff406a80, "AlertWindow::textColourId" },
        { TabbedButtonBar::tabOutlineColourId,        0xff797d80, "TabbedButtonBar::tabOutlineColourId" },
        { TabbedButtonBar::tabTextColourId,           0xff42545e, "TabbedButtonBar::tabTextColourId" },
        { TabbedButtonBar::frontOutlineColourId,      0xff797d80, "TabbedButtonBar::frontOutlineColourId" },
        { TabbedButtonBar::frontTextColourId,         0xff595959, "TabbedButtonBar::frontTextColourId" },
        { Toolbar::separatorColourId,                 0xffa5a6a7, "Toolbar::separatorColourId" },
        { Toolbar::buttonMouseOverBackgroundColourId, 0xffb2c0ca, "Toolbar::buttonMouseOverBackgroundColourId" },
        { Toolbar::buttonMouseDownBackgroundColourId, 0xffffffff, "Toolbar::buttonMouseDownBackgroundColourId" },
        { Toolbar::labelTextColourId,                 0xff374c57, "Toolbar::labelTextColourId" },
        { TextButton::buttonColourId,                 0xff97abbc, "TextButton::buttonColourId" },
        { TextButton::buttonOnColourId,               0xff97abbc, "TextButton::buttonOnColourId" },
        { TextButton::textColourOffId,                0xffffffff, "TextButton::textColourOffId" },
        { TextButton::textColourOnId,                 0xffffffff, "TextButton::textColourOnId" },
        { TextEditor::backgroundColourId,             0xffe6eaed, "TextEditor::backgroundColourId" },
        { TextEditor::textColourId,                   0xff42545e, "TextEditor::textColourId" },
        { TextEditor::highlightColourId,              0xff98b8da, "TextEditor::highlightColourId" },
        { TextEditor::highlightedTextColourId,        0xffe6eaed, "TextEditor::highlightedTextColourId" },
        { TextEditor::outlineColourId,                0x00000000, "TextEditor::outlineColourId" },
        { TextEditor::focusedOutlineColourId,         0xffc8c8c8, "TextEditor::focusedOutlineColourId" },
        { TextEditor::shadowColourId,                 0xff555555, "TextEditor::shadowColourId" },
        { Slider::backgroundColourId,                 0xffffffff, "Slider::backgroundColourId" },
        { Slider::textBoxBackgroundColourId,          0xffe6eaed, "Slider::textBoxBackgroundColourId" },
        { Slider::textBoxTextColourId,                0xff42545e, "Slider::textBoxTextColourId" },
        { Slider::textBoxHighlightColourId,           0xff98b8da, "Slider::textBoxHighlightColourId" },
        { Label::textColourId,                        0xff42545e, "Label::textColourId" },
        { ToggleButton::textColourId,                 0xff42545e, "ToggleButton::textColourId" },
        { GroupComponent::outlineColourId,            0xb342545e, "GroupComponent::outlineColourId" },
        { GroupComponent::textColourId,               0xff42545e, "GroupComponent::textColourId" },
        { ListBox::textColourId,                      0xff42545e, "ListBox::textColourId" },
        { ListBox::backgroundColourId,                0xffe6eaed, "ListBox::backgroundColourId" },
        { ComboBox::buttonColourId,                   0xffc8c8c8, "ComboBox::buttonColourId" },
        { ProgressBar::backgroundColourId,            0xff75838e, "ProgressBar::backgroundColourId" },
        { ProgressBar::foregroundColourId,            0xffedce83, "ProgressBar::foregroundColourId" },
        { Slider::thumbColourId,                      0xffa2b5c4, "Slider::thumbColourId" },
        { 0x5205001,                                  0xffcdd8de, "frontTabTopColourId" },
        { 0x5205002,                                  0xffcdd8de, "frontTabBottomColourId" },
        { 0x5205003,                                  0xfffefefe, "tabTopColourId" },
        { 0x5205004,                                  0xffdbe2e6, "tabBottomColourId" },
    };

    struct ScaleCase
    {
        double scale;
        float a, b, c;
        double row, largeRow, button;
        int margin, alertButton, titleBar;
    };

    // Expected metrics per UI scale. Margins round halves to even (7.5 -> 8,
    // 12.5 -> 12). Title bars truncate a single-precision product: at 1.5 and
    // 2.5 it lands on 39 and 65 where double precision would give 38 and 64.
    const ScaleCase scaleCases[] =
    {
        { 0.75, 10.5f, 12.0f,  9.75f, 23.31, 47.25, 22.05,  8, 21, 19 },
        { 1.0,  14.0f, 16.0f, 13.0f,  31.08, 63.0,  29.4,  10, 28, -1 },
        { 1.25, 17.5f, 20.0f, 16.25f, 38.85, 78.75, 36.75, 12, 35, 32 },
        { 1.5,  21.0f, 24.0f, 19.5f,  46.62, 94.5,  44.1,  15, 42, 39 },
        { 2.5,  35.0f, 40.0f, 32.5f,  77.7, 157.5,  73.5,  25, 70, 65 },
    };
}

TEST_F (LookAndFeelTest, ColourIdsAfterConstruction)
{
    LSLookAndFeel lnf;
    for (const auto& c : expectedColours)
    {
        ASSERT_TRUE (lnf.isColourSpecified (c.id)) << c.name;
        EXPECT_EQ (lnf.findColour (c.id).getARGB(), c.argb)
            << c.name << " is 0x" << String::toHexString (lnf.findColour (c.id).getARGB());
    }

    // Each subclass starts from the same table.
    LSApplicationFrameLaf frame;
    SearchDialogLaf search;
    OptionsDialogLaf options;
    for (const auto& c : expectedColours)
    {
        EXPECT_EQ (frame.findColour (c.id).getARGB(), c.argb) << c.name;
        EXPECT_EQ (search.findColour (c.id).getARGB(), c.argb) << c.name;
        EXPECT_EQ (options.findColour (c.id).getARGB(), c.argb) << c.name;
    }
}

TEST_F (LookAndFeelTest, MetricsFollowTheScale)
{
    for (const auto& sc : scaleCases)
    {
        SCOPED_TRACE ("scale " + String (sc.scale).toStdString());
        setScale (sc.scale);
        LSLookAndFeel lnf;

        EXPECT_EQ (lnf.getScale(), (float) sc.scale);
        EXPECT_EQ (lnf.getFontHeightA(), sc.a);
        EXPECT_EQ (lnf.getFontHeightB(), sc.b);
        EXPECT_EQ (lnf.getFontHeightC(), sc.c);
        EXPECT_NEAR (lnf.getRowHeight(), sc.row, 1e-9);
        EXPECT_NEAR (lnf.getLargeRowHeight(), sc.largeRow, 1e-9);
        EXPECT_NEAR (lnf.getButtonHeight(), sc.button, 1e-9);
        EXPECT_EQ (lnf.getScaledMargin(), sc.margin);
        EXPECT_EQ (lnf.getAlertWindowButtonHeight(), sc.alertButton);

        EXPECT_FLOAT_EQ (lnf.getAlertWindowMessageFont().getHeight(), sc.b);
        EXPECT_FLOAT_EQ (lnf.getAlertWindowFont().getHeight(), sc.a);
        EXPECT_FLOAT_EQ (lnf.getPopupMenuFont().getHeight(), sc.a);

        TextButton button ("Apply");
        EXPECT_FLOAT_EQ (lnf.getTextButtonFont (button, 1000).getHeight(), sc.a);
        EXPECT_FLOAT_EQ (lnf.getTextButtonFont (button, 10).getHeight(), 6.0f);

        ComboBox box;
        box.setSize (100, 1000);
        EXPECT_FLOAT_EQ (lnf.getComboBoxFont (box).getHeight(), sc.a);
        box.setSize (100, 10);
        EXPECT_FLOAT_EQ (lnf.getComboBoxFont (box).getHeight(), 8.5f);

        DocumentWindow window ("w", Colours::grey, DocumentWindow::allButtons, false);
        const int frameworkHeight = window.getTitleBarHeight();
        lnf.applyTitleBarHeight (window);
        EXPECT_EQ (window.getTitleBarHeight(), sc.titleBar < 0 ? frameworkHeight : sc.titleBar);
    }
}

TEST_F (LookAndFeelTest, OptionsDialogRowsAreTighter)
{
    setScale (1.5);
    OptionsDialogLaf options;
    EXPECT_NEAR (options.getRowHeight(), 21.0 * 1.8, 1e-9);
    EXPECT_NEAR (options.getButtonHeight(), 21.0 * 2.1, 1e-9);
}

TEST_F (LookAndFeelTest, SubclassScaleDrivesMarginAndTitleBar)
{
    struct Doubled : LSLookAndFeel { float getScale() const override { return 2.5f; } };
    Doubled lnf;   // the stored scale is 1.0, the overridden one 2.5
    EXPECT_EQ (lnf.getScaledMargin(), 25);

    DocumentWindow window ("w", Colours::grey, DocumentWindow::allButtons, false);
    lnf.setFontHeights (21.0f, 24.0f, 19.5f);
    lnf.applyTitleBarHeight (window);
    EXPECT_EQ (window.getTitleBarHeight(), 39);
}

TEST_F (LookAndFeelTest, ScaleIsReadOnceAtConstruction)
{
    setScale (1.5);
    LSLookAndFeel first;
    setScale (2.0);
    EXPECT_EQ (first.getFontHeightA(), 21.0f);
    LSLookAndFeel second;
    EXPECT_EQ (second.getFontHeightA(), 28.0f);

    first.setFontHeights (1.0f, 2.0f, 3.0f);
    EXPECT_EQ (first.getFontHeightA(), 1.0f);
    EXPECT_EQ (first.getFontHeightB(), 2.0f);
    EXPECT_EQ (first.getFontHeightC(), 3.0f);
}

TEST_F (LookAndFeelTest, ScaleOutsideTheRangeIsClamped)
{
    setScale (9.0);
    EXPECT_EQ (LSLookAndFeel().getScale(), 2.5f);
    setScale (0.1);
    EXPECT_EQ (LSLookAndFeel().getScale(), 0.75f);
}

TEST_F (LookAndFeelTest, WidgetMetrics)
{
    LSLookAndFeel lnf;

    Slider slider;
    slider.setSize (200, 31);
    EXPECT_EQ (lnf.getSliderThumbRadius (slider), 15);
    slider.setSize (9, 200);
    EXPECT_EQ (lnf.getSliderThumbRadius (slider), 4);

    std::unique_ptr<Label> textBox (lnf.createSliderTextBox (slider));
    ASSERT_NE (textBox, nullptr);
    EXPECT_FLOAT_EQ (textBox->getFont().getHeight(), 14.0f);

    EXPECT_EQ (lnf.getTabButtonOverlap (30), 0);

    TextButton button ("Apply Changes");
    const auto font = lnf.getTextButtonFont (button, 30);
    EXPECT_EQ (lnf.getTextButtonWidthToFitText (button, 30),
               roundToInt (font.getStringWidthFloat ("Apply Changes")) + 60);
}

TEST_F (LookAndFeelTest, TabButtonBestWidthIsTwiceTheTextWithinLimits)
{
    LSLookAndFeel lnf;
    TabbedButtonBar bar (TabbedButtonBar::TabsAtTop);
    bar.setLookAndFeel (&lnf);
    bar.addTab ("  Presets ", Colours::white, -1);
    bar.addTab ("A", Colours::white, -1);
    bar.addTab (String::repeatedString ("Wide ", 40), Colours::white, -1);

    const int textWidth = roundToInt (Font (16.0f).getStringWidthFloat ("Presets"));
    EXPECT_EQ (lnf.getTabButtonBestWidth (*bar.getTabButton (0), 30), jlimit (60, 240, 2 * textWidth));
    EXPECT_EQ (lnf.getTabButtonBestWidth (*bar.getTabButton (1), 30), 60);    // at least twice the depth
    EXPECT_EQ (lnf.getTabButtonBestWidth (*bar.getTabButton (2), 30), 240);   // at most eight times

    auto* extra = new Component();   // owned by the tab button
    extra->setSize (17, 9);
    bar.getTabButton (0)->setExtraComponent (extra, TabBarButton::afterText);
    EXPECT_EQ (lnf.getTabButtonBestWidth (*bar.getTabButton (0), 30), jlimit (60, 240, 2 * textWidth + 17));
    bar.setLookAndFeel (nullptr);
}

TEST_F (LookAndFeelTest, TooltipSizeWrapsAtFourHundred)
{
    LSLookAndFeel lnf;
    int shortW = 0, shortH = 0, longW = 0, longH = 0;
    lnf.getTooltipSize ("Scan", shortW, shortH);
    lnf.getTooltipSize (String::repeatedString ("Synchronise the presets ", 20), longW, longH);

    EXPECT_GT (shortW, 14);
    EXPECT_LT (shortW, 80);
    EXPECT_LE (longW, 400 + 14);
    EXPECT_GT (longH, 3 * shortH);   // wrapped over several lines

    // Placed beside the pointer and kept on the screen.
    const Rectangle<int> screen (0, 0, 1000, 800);
    const auto nearTopLeft = lnf.getTooltipBounds ("Scan", { 100, 100 }, screen);
    EXPECT_EQ (nearTopLeft, Rectangle<int> (124, 106, shortW, shortH));
    const auto nearBottomRight = lnf.getTooltipBounds ("Scan", { 990, 790 }, screen);
    EXPECT_TRUE (screen.contains (nearBottomRight));
    EXPECT_LT (nearBottomRight.getRight(), 990);

    setScale (2.0);
    LSLookAndFeel larger;
    int w2 = 0, h2 = 0;
    larger.getTooltipSize ("Scan", w2, h2);
    EXPECT_GT (h2, shortH);
}

TEST_F (LookAndFeelTest, TypefaceIsInstalledVerdanaOrTheFallback)
{
    EXPECT_EQ (LSLookAndFeel::chooseSansSerifTypefaceName ({ "DejaVu Sans", "Verdana" }), "Verdana");
    EXPECT_EQ (LSLookAndFeel::chooseSansSerifTypefaceName ({ "Liberation Sans", "DejaVu Sans" }), "DejaVu Sans");
    EXPECT_EQ (LSLookAndFeel::chooseSansSerifTypefaceName ({ "Liberation Sans" }), "");
    EXPECT_EQ (LSLookAndFeel::chooseSansSerifTypefaceName ({}), "");

    LSLookAndFeel lnf;
    const auto installed = Font::findAllTypefaceNames();
    const auto chosen = lnf.getSansSerifTypefaceName();
    EXPECT_EQ (chosen, LSLookAndFeel::chooseSansSerifTypefaceName (installed));
    if (chosen.isNotEmpty())
        EXPECT_TRUE (installed.contains (chosen));

    // Text drawn while this look and feel is the default comes out in that face, with ink.
    LookAndFeel::setDefaultLookAndFeel (&lnf);
    Font font (lnf.getFontHeightA());
    if (chosen.isNotEmpty())
        EXPECT_EQ (font.getTypefacePtr()->getName(), chosen);

    Image image (Image::ARGB, 200, 40, true);
    {
        Graphics g (image);
        g.setColour (Colours::black);
        g.setFont (font);
        g.drawText ("Larkspire", image.getBounds(), Justification::centred);
    }
    int ink = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            ink += image.getPixelAt (x, y).getAlpha() > 128 ? 1 : 0;
    LookAndFeel::setDefaultLookAndFeel (nullptr);
    EXPECT_GT (ink, 60) << "text was drawn without ink";
}

TEST_F (LookAndFeelTest, DrawablesAreBuilt)
{
    LSLookAndFeel lnf;
    ASSERT_NE (lnf.getQuestionIcon(), nullptr);
    ASSERT_NE (lnf.getWarningIcon(), nullptr);
    ASSERT_NE (lnf.getInformationIcon(), nullptr);
    ASSERT_NE (lnf.getTickDrawable(), nullptr);

    // The icons' proportions: 207 x 300, 88 x 300 and 94 x 300.
    EXPECT_NEAR (lnf.getQuestionIcon()->getDrawableBounds().getHeight(), 300.0f, 3.0f);
    EXPECT_NEAR (lnf.getQuestionIcon()->getDrawableBounds().getWidth(), 207.0f, 3.0f);
    EXPECT_NEAR (lnf.getWarningIcon()->getDrawableBounds().getWidth(), 88.0f, 3.0f);
    EXPECT_NEAR (lnf.getInformationIcon()->getDrawableBounds().getWidth(), 94.0f, 3.0f);
    EXPECT_NEAR (lnf.getTickDrawable()->getDrawableBounds().getWidth(), 10.0f, 2.0f);

    LSApplicationFrameLaf frame;
    ASSERT_NE (frame.getWordmark(), nullptr);
    EXPECT_NEAR (frame.getWordmark()->getDrawableBounds().getWidth(), 173.2f, 1.0f);
    EXPECT_NEAR (frame.getWordmark()->getDrawableBounds().getHeight(), 11.0f, 1.0f);
}
