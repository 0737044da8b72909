#include <gtest/gtest.h>
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/WarnFileReplaceDialog.h"
#include "core/Settings.h"
#include "support/RecordingDialogService.h"
#include "support/TestEnvironment.h"

using namespace juce;
using testing_support::RecordingDialogService;

namespace
{
    const String question1 = "'/tmp/out/Preset_1.syx' already exists.";
    const String question2 = "\n\nDo you want to replace the existing file?";

    int countNear (const Image& image, Rectangle<int> area, Colour colour, int tolerance = 40)
    {
        int n = 0;
        area = area.getIntersection (image.getBounds());
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
            {
                const auto c = image.getPixelAt (x, y);
                if (std::abs (c.getRed() - colour.getRed()) + std::abs (c.getGreen() - colour.getGreen())
                        + std::abs (c.getBlue() - colour.getBlue()) <= tolerance)
                    ++n;
            }
        return n;
    }

    // Runs the dialog through the service; the script clicks like a user would.
    int ask (bool offerApplyToAll, const std::function<int (FileReplaceComponent&)>& user)
    {
        RecordingDialogService service;
        service.onModalWindow = [&] (DialogWindow& w)
        {
            auto* content = dynamic_cast<FileReplaceComponent*> (w.getContentComponent());
            return content != nullptr ? user (*content) : -99;
        };
        const int r = WarnFileReplaceDialog::run (nullptr, "Replace File", question1, question2, offerApplyToAll);
        EXPECT_EQ (service.modalWindowTitles, StringArray ("Replace File"));
        return r;
    }

    int click (FileReplaceComponent& c, Button& button, bool applyToAll)
    {
        c.toggleButtonApplyToAll.setToggleState (applyToAll, dontSendNotification);
        c.buttonClicked (&button);
        return c.getChosenResult();
    }
}

TEST (FileReplaceDialog, AnswersCarryReplaceAndApplyToAllBits)
{
    struct Case { bool yes, all; int expected; };
    for (auto c : { Case { false, false, 0 }, Case { true, false, 1 }, Case { false, true, 2 }, Case { true, true, 3 } })
    {
        const int r = ask (true, [&] (FileReplaceComponent& content)
        {
            return click (content, c.yes ? (Button&) content.textButtonYes : (Button&) content.textButtonNo, c.all);
        });
        EXPECT_EQ (r, c.expected) << "yes " << c.yes << " all " << c.all;
    }

    // Closing the window (Escape, close button) keeps the file.
    EXPECT_EQ (ask (true, [] (FileReplaceComponent&) { return 0; }), (int) FileReplaceComponent::keep);
    EXPECT_EQ (ask (true, [] (FileReplaceComponent&) { return -1; }), (int) FileReplaceComponent::keep);
}

TEST (FileReplaceDialog, SingleFileHidesApplyToAllAndNeverAnswersForAll)
{
    int seenVisible = -1;
    const int r = ask (false, [&] (FileReplaceComponent& content)
    {
        seenVisible = content.toggleButtonApplyToAll.isVisible() ? 1 : 0;
        // Even a toggle switched on behind the user's back cannot widen the answer.
        return click (content, content.textButtonYes, true);
    });
    EXPECT_EQ (seenVisible, 0);
    EXPECT_EQ (r, (int) FileReplaceComponent::replace);

    EXPECT_EQ (ask (false, [] (FileReplaceComponent&) { return 3; }), (int) FileReplaceComponent::replace);
    EXPECT_EQ (ask (false, [] (FileReplaceComponent&) { return 2; }), (int) FileReplaceComponent::keep);

    FileReplaceComponent offered (question1, question2, true);
    EXPECT_TRUE (offered.toggleButtonApplyToAll.isVisible());
}

TEST (FileReplaceDialog, WindowIsTheAskedQuestion)
{
    WarnFileReplaceDialog dialog (nullptr, "Replace File", question1, question2, true);
    EXPECT_EQ (dialog.getName(), "Replace File");
    EXPECT_EQ (dialog.getBackgroundColour(), paletteColour090);
    EXPECT_TRUE (dialog.escapeKeyPressed());
    EXPECT_FALSE (dialog.isResizable());
    EXPECT_EQ (dialog.getContentComponent(), &dialog.getContent());
    EXPECT_EQ (dialog.getContent().getChildComponent (0)->getName(), "textButtonYes");
}

TEST (FileReplaceDialog, ButtonsSitBottomRightWithTheToggleToTheirLeft)
{
    FileReplaceComponent c (question1, question2, true);
    const int w = c.getWidth(), h = c.getHeight();
    EXPECT_EQ (c.textButtonNo.getRight(), w - 10);
    EXPECT_EQ (c.textButtonNo.getBottom(), h - 10);
    EXPECT_EQ (c.textButtonNo.getHeight(), 28);   // twice the font height
    EXPECT_EQ (c.textButtonYes.getRight(), c.textButtonNo.getX());
    EXPECT_EQ (c.textButtonYes.getY(), c.textButtonNo.getY());
    EXPECT_GE (c.textButtonYes.getWidth(), 80);
    EXPECT_LT (c.toggleButtonApplyToAll.getRight(), c.textButtonYes.getX());
    EXPECT_EQ (c.textButtonYes.getConnectedEdgeFlags(), (int) Button::ConnectedOnRight);
    EXPECT_EQ (c.textButtonNo.getConnectedEdgeFlags(), (int) (Button::ConnectedOnLeft | Button::ConnectedOnRight));
    EXPECT_LE (c.getMessageArea().getBottom(), c.textButtonNo.getY());
}

TEST (FileReplaceDialog, MessageIsDrawnWrappedAboveTheButtons)
{
    const String longPath = "'" + String::repeatedString ("/a-rather-long-folder-name", 12) + "/Preset_1.syx' already exists.";
    FileReplaceComponent shortOne (question1, question2, true);
    FileReplaceComponent longOne (longPath, question2, true);

    // The long path wraps onto more lines and the component grows to hold them.
    EXPECT_GT (longOne.getHeight(), shortOne.getHeight());
    EXPECT_EQ (longOne.getWidth(), shortOne.getWidth());

    for (auto* c : { &shortOne, &longOne })
    {
        Image image (Image::ARGB, c->getWidth(), c->getHeight(), true);
        {
            Graphics g (image);
            g.fillAll (paletteColour090);
            c->paintEntireComponent (g, true);
        }
        const auto message = c->getMessageArea();
        // Ink in the text colour in the message's first and last lines, none right of the margin.
        EXPECT_GT (countNear (image, message.withHeight (20), paletteColour091), 20);
        EXPECT_GT (countNear (image, message.withTrimmedTop (message.getHeight() - 20), paletteColour091), 5);
        EXPECT_EQ (countNear (image, { c->getWidth() - 9, 0, 9, message.getBottom() }, paletteColour091, 10), 0);
    }
}

TEST (FileReplaceDialog, LongPathsBreakInsideTheWord)
{
    const Font font (14.0f);
    const String path = "'" + String::repeatedString ("/folder-name", 30) + "/Preset_12.syx'";
    const auto lines = FileReplaceComponent::wrapMessage (path + " already exists." + question2, font, 300.0f);

    ASSERT_GE (lines.size(), 5);
    for (auto& line : lines)
        EXPECT_LE (font.getStringWidthFloat (line), 300.0f) << line;
    // Nothing is lost: the lines hold the path whole, then the question after an empty line.
    EXPECT_TRUE (lines.joinIntoString ({}).startsWith (path));
    EXPECT_EQ (lines[lines.size() - 2], "");
    EXPECT_EQ (lines[lines.size() - 1], "Do you want to replace the existing file?");

    // Ordinary words wrap at spaces.
    const auto words = FileReplaceComponent::wrapMessage ("one two three four five six", font, 80.0f);
    EXPECT_GT (words.size(), 1);
    EXPECT_EQ (words.joinIntoString (" "), "one two three four five six");
}

TEST (FileReplaceDialog, ScalesWithTheProgramsLookAndFeel)
{
    testing_support::TempHome home;
    configureApplicationProperties();
    setSetting (SettingsKeys::uiScalingFactor, 1.5);
    {
        LSLookAndFeel lnf;
        LookAndFeel::setDefaultLookAndFeel (&lnf);
        FileReplaceComponent big (question1, question2, true);
        LookAndFeel::setDefaultLookAndFeel (nullptr);
        FileReplaceComponent plain (question1, question2, true);

        EXPECT_EQ (big.getWidth(), (int) (plain.getWidth() * 1.5));
        EXPECT_EQ (big.textButtonNo.getHeight(), 42);
        EXPECT_EQ (big.textButtonNo.getRight(), big.getWidth() - 15);
        big.setLookAndFeel (nullptr);
    }
    deleteApplicationProperties();
}
