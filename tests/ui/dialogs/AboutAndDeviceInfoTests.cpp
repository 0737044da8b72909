#include <gtest/gtest.h>
#include "core/Settings.h"
#include "model/VersionNumber.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/AboutBox.h"
#include "ui/dialogs/AboutBoxContent.h"
#include "ui/dialogs/DeviceInfoComp.h"
#include "ui/dialogs/DeviceInfoDialog.h"
#include "support/RecordingDialogService.h"
#include "support/TestAppHost.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    // The program's look and feel at a UI scale, as the default one.
    struct ScaledLookAndFeel
    {
        explicit ScaledLookAndFeel (double scale)
        {
            configureApplicationProperties();
            setSetting (SettingsKeys::uiScalingFactor, scale);
            lookAndFeel = std::make_unique<LSLookAndFeel>();
            juce::LookAndFeel::setDefaultLookAndFeel (lookAndFeel.get());
        }
        ~ScaledLookAndFeel()
        {
            juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
            lookAndFeel.reset();
            deleteApplicationProperties();
        }
        TempHome home;
        std::unique_ptr<LSLookAndFeel> lookAndFeel;
    };

    struct Fields
    {
        juce::String name, date, serial, version;
    };

    Fields fieldsOf (const juce::String& name, const VersionNumber& version, int y, int m, int d, int serial)
    {
        DeviceInfoComp comp (name, version, y, m, d, serial);
        for (auto* editor : { &comp.getNameField(), &comp.getDateField(), &comp.getSerialField(), &comp.getVersionField() })
            EXPECT_TRUE (editor->isReadOnly());
        return { comp.getNameField().getText(), comp.getDateField().getText(),
                 comp.getSerialField().getText(), comp.getVersionField().getText() };
    }
}

TEST (AboutBox, ContentTakesTheLogoSizeAtTheUiScaleRoundingHalvesToEven)
{
    {
        ScaledLookAndFeel laf (1.0);
        AboutBoxContent content;
        ASSERT_TRUE (content.getLogo().isValid());
        EXPECT_EQ (content.getLogo().getWidth(), 335);
        EXPECT_EQ (content.getLogo().getHeight(), 282);
        EXPECT_EQ (content.getWidth(), 335);
        EXPECT_EQ (content.getHeight(), 282);
        EXPECT_EQ (content.getVersionText(), getVersionText (getApplicationVersionNumber()));
    }
    {
        ScaledLookAndFeel laf (1.5);
        AboutBoxContent content;
        EXPECT_EQ (content.getWidth(), 502);
        EXPECT_EQ (content.getHeight(), 423);
    }
}

TEST (AboutBox, PaintsTheStretchedLogoWithTheVersionCentredOverIt)
{
    ScaledLookAndFeel laf (1.5);
    AboutBoxContent content;
    const auto image = content.createComponentSnapshot (content.getLocalBounds(), true, 1.0f);

    // The logo is stretched to the corners.
    const auto logo = content.getLogo();
    EXPECT_EQ (image.getPixelAt (1, 1), logo.getPixelAt (0, 0));
    EXPECT_EQ (image.getPixelAt (image.getWidth() - 2, image.getHeight() - 2),
               logo.getPixelAt (logo.getWidth() - 1, logo.getHeight() - 1));

    // The version text, in its blue, lies in a band around the middle and nowhere else.
    auto isText = [] (juce::Colour p)
    {
        return std::abs (p.getRed() - paletteColour052.getRed()) < 20
            && std::abs (p.getGreen() - paletteColour052.getGreen()) < 20
            && std::abs (p.getBlue() - paletteColour052.getBlue()) < 20;
    };
    int inBand = 0, outside = 0, left = image.getWidth(), right = 0;
    const int middle = image.getHeight() / 2;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (isText (image.getPixelAt (x, y)))
            {
                if (std::abs (y - middle) <= 20)
                {
                    ++inBand;
                    left = juce::jmin (left, x);
                    right = juce::jmax (right, x);
                }
                else
                {
                    ++outside;
                }
            }
    EXPECT_GT (inBand, 30);
    EXPECT_EQ (outside, 0);
    EXPECT_NEAR ((left + right) / 2, image.getWidth() / 2, 6);
}

TEST (AboutBox, RunsModallyThroughTheDialogServiceWithItsTitle)
{
    ScaledLookAndFeel laf (1.0);
    RecordingDialogService dialogs;
    juce::Component owner;
    bool sawContent = false;
    dialogs.onDialogOptions = [&] (juce::DialogWindow::LaunchOptions& options)
    {
        sawContent = dynamic_cast<AboutBoxContent*> (options.content.get()) != nullptr;
        EXPECT_EQ (options.componentToCentreAround, &owner);
    };
    AboutBox::show (owner);
    EXPECT_EQ (dialogs.dialogTitles, juce::StringArray ("About Larkspire"));
    EXPECT_TRUE (sawContent);
}

TEST (DeviceInfoDialog, FieldsShowWhatIsKnownAndPlaceholdersForTheRest)
{
    ScaledLookAndFeel laf (1.0);
    TestAppHost host;
    const VersionNumber beta (1, 2, 1, 5, 1234, 7);

    auto known = fieldsOf ("Merle Black", beta, 2023, 11, 4, 60123);
    EXPECT_EQ (known.name, "Merle Black");
    EXPECT_EQ (known.date, "2023.11.04");
    EXPECT_EQ (known.serial, "60123");
    EXPECT_EQ (known.version, "2.1.05 build 1234  [beta]");

    host.developer = true;
    EXPECT_EQ (fieldsOf ("Merle", beta, 2023, 11, 4, 1).version, "2.1.05 build 1234  [beta] (mcu 7)");
    host.developer = false;

    // Serial numbers 0 and -1, and dates outside the plausible range, are "not set".
    EXPECT_EQ (fieldsOf ("Merle", beta, 2023, 1, 1, 0).serial, "not set");
    EXPECT_EQ (fieldsOf ("Merle", beta, 2023, 1, 1, -1).serial, "not set");
    EXPECT_EQ (fieldsOf ("Merle", beta, 1970, 12, 31, 5).date, "not set");
    EXPECT_EQ (fieldsOf ("Merle", beta, 1971, 0, 0, 5).date, "1971.00.00");
    EXPECT_EQ (fieldsOf ("Merle", beta, 3000, 12, 31, 5).date, "3000.12.31");
    EXPECT_EQ (fieldsOf ("Merle", beta, 3001, 1, 1, 5).date, "not set");
    EXPECT_EQ (fieldsOf ("Merle", beta, 2020, 13, 1, 5).date, "not set");
    EXPECT_EQ (fieldsOf ("Merle", beta, 2020, 1, 32, 5).date, "not set");
    EXPECT_EQ (fieldsOf ("Merle", beta, 2020, -1, 1, 5).date, "not set");

    // A unit that was never identified: nothing but placeholders.
    auto unknown = fieldsOf ({}, VersionNumber(), 0, 0, 0, -1);
    EXPECT_EQ (unknown.name, "unknown");
    EXPECT_EQ (unknown.version, "unknown");
    EXPECT_EQ (unknown.serial, "not set");
    EXPECT_EQ (unknown.date, "not set");

    DeviceInfoComp comp ("Merle", beta, 2023, 11, 4, 1);
    juce::StringArray captions;
    for (auto* child : comp.getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            captions.add (label->getName() + "=" + label->getText());
    EXPECT_EQ (captions, juce::StringArray ({ "label=Name:", "label4=Manufacture Date:",
                                              "label3=Serial Number:", "label2=Version:" }));
}

TEST (DeviceInfoDialog, RunsModallyThroughTheDialogServiceWithItsTitle)
{
    ScaledLookAndFeel laf (1.0);
    RecordingDialogService dialogs;
    juce::String shownName;
    dialogs.onDialogOptions = [&] (juce::DialogWindow::LaunchOptions& options)
    {
        if (auto* comp = dynamic_cast<DeviceInfoComp*> (options.content.get()))
            shownName = comp->getNameField().getText();
    };
    DeviceInfoDialog::show (nullptr, "Piper", VersionNumber (0, 1, 0, 0, 100, 0), 2022, 5, 6, 777);
    EXPECT_EQ (dialogs.dialogTitles, juce::StringArray ("Device Information"));
    EXPECT_EQ (shownName, "Piper");
}
