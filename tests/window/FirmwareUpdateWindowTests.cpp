#include <gtest/gtest.h>
#include "core/InfoCodes.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/UpdateProgressWindow.h"
#include "support/FirmwareUpdateRig.h"
#include "ScreenTools.h"

using namespace testing_support;

namespace
{
    struct Listener : juce::MessageListener
    {
        void handleMessage (const juce::Message& m) override
        {
            if (auto* info = dynamic_cast<const DeviceInfoMessage*> (&m))
                codes.push_back (info->code);
        }
        std::vector<int> codes;
    };

    // The program's look and feel as the desktop default for the scope.
    struct ScopedLookAndFeel
    {
        ScopedLookAndFeel()  { juce::LookAndFeel::setDefaultLookAndFeel (&laf); }
        ~ScopedLookAndFeel() { juce::LookAndFeel::setDefaultLookAndFeel (nullptr); }
        LSLookAndFeel laf;
    };

    juce::File screenshotFile()
    {
        return juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("larkspire-firmware-update-window.png");
    }
}

TEST (UpdateProgressWindow, StatusColoursAndStop)
{
    TempHome home;
    ScopedLookAndFeel look;
    Listener owner;
    UpdateProgressWindow window (owner);

    EXPECT_EQ (window.getName(), "Firmware Update");
    EXPECT_TRUE (window.isVisible());
    auto& content = window.getContent();
    EXPECT_EQ (content.getWidth(), 450);
    EXPECT_EQ (content.getHeight(), 180);
    EXPECT_EQ (content.labelOverallProgress.getText(), "Overall Progress");
    EXPECT_EQ (content.phaseFraction, 0.0);
    EXPECT_EQ (content.overallFraction, 0.0);

    // Top to bottom: status, phase bar, "Overall Progress", overall bar, Stop.
    EXPECT_LT (content.labelStatus.getBottom(), content.progressBarPhase.getBottom());
    EXPECT_LT (content.progressBarPhase.getBottom(), content.labelOverallProgress.getBottom());
    EXPECT_LT (content.labelOverallProgress.getBottom(), content.progressBarOverall.getBottom());
    EXPECT_LT (content.progressBarOverall.getBottom(), content.textButtonStop.getY());
    EXPECT_LE (content.textButtonStop.getBottom(), content.getHeight());

    const auto normal = look.laf.findColour (juce::Label::textColourId);
    window.setStatus ("Sending update to Merle", false);
    EXPECT_EQ (content.labelStatus.getText(), "Sending update to Merle");
    EXPECT_EQ (content.labelStatus.findColour (juce::Label::textColourId), normal);

    // An error shows both labels in the error colour; the next normal status restores them.
    window.setStatus ("Transmission error on packet 3, attempt 1", true);
    EXPECT_TRUE (window.isShowingError());
    EXPECT_EQ (content.labelStatus.findColour (juce::Label::textColourId), paletteColour033);
    EXPECT_EQ (content.labelOverallProgress.findColour (juce::Label::textColourId), paletteColour033);
    window.setStatus ("Sending update to Merle", false);
    EXPECT_EQ (content.labelStatus.findColour (juce::Label::textColourId), normal);
    EXPECT_EQ (content.labelOverallProgress.findColour (juce::Label::textColourId), normal);

    window.setProgress (0.25, 0.6);
    EXPECT_EQ (content.phaseFraction, 0.25);
    EXPECT_EQ (content.overallFraction, 0.6);

    // Stop asks the owner to stop the update; the window stays until the update closes it.
    window.enterModalState();
    EXPECT_TRUE (window.isCurrentlyModal());
    content.textButtonStop.triggerClick();
    ASSERT_TRUE (pumpUntil ([&] { return ! owner.codes.empty(); }));
    EXPECT_EQ (owner.codes, std::vector<int> ({ InfoCode::stopFirmwareUpdate }));
    EXPECT_TRUE (window.isVisible());

    window.close();
    EXPECT_FALSE (window.isVisible());
    EXPECT_FALSE (window.isCurrentlyModal());
}

TEST (UpdateProgressWindow, ShownDuringATransferToASimulatedUnit)
{
    FirmwareUpdateRig rig (140);
    ScopedLookAndFeel look;
    UpdateProgressWindow* window = nullptr;
    rig.host.makeView = [&]
    {
        auto w = std::make_unique<UpdateProgressWindow> (rig.host);
        window = w.get();
        return std::unique_ptr<FirmwareUpdateProgressView> (std::move (w));
    };

    // A slow link, so that the transfer is under way for a while; the loader waits longer
    // than a block's round trip before it takes the image as complete.
    rig.unit->setLinkRate (600);
    rig.setFaults ([] (SimulatedUnit::Faults& f) { f.rebootQuietMs = 1000; });
    rig.w.content.host.developer = true;
    ASSERT_TRUE (rig.start (rig.listEntry (150)));
    ASSERT_NE (window, nullptr);
    EXPECT_TRUE (window->isCurrentlyModal());

    auto& content = window->getContent();
    ASSERT_TRUE (pumpUntil ([&] { return rig.update->getState() == FirmwareUpdateThread::sending
                                         && content.phaseFraction >= 0.3 && content.phaseFraction <= 0.8; }, 60000));
    EXPECT_EQ (content.labelStatus.getText(), "Sending update to Merle");

    // The window's text is drawn, and the phase bar is filled part of the way, once the
    // window has been painted on the screen.
    const auto onScreen = content.getScreenBounds();
    const auto status = content.labelStatus.getBounds() + onScreen.getPosition();
    const auto overallLabel = content.labelOverallProgress.getBounds() + onScreen.getPosition();
    const auto bar = content.progressBarPhase.getBounds() + onScreen.getPosition();
    juce::Image shot;
    int statusInk = 0, labelInk = 0;
    juce::Colour filled, empty;
    pumpUntil ([&]
    {
        shot = takeScreenshot();
        statusInk = findInk (shot, status).pixels;
        labelInk = findInk (shot, overallLabel).pixels;
        filled = shot.getPixelAt (bar.getX() + bar.getWidth() / 10, bar.getCentreY());
        empty = shot.getPixelAt (bar.getRight() - bar.getWidth() / 10, bar.getCentreY());
        return statusInk > 30 && labelInk > 30 && filled != empty;
    }, 30000);
    ASSERT_TRUE (writePng (shot, screenshotFile()));
    std::cout << "Screenshot: " << screenshotFile().getFullPathName() << std::endl;
    EXPECT_GT (statusInk, 30);
    EXPECT_GT (labelInk, 30);
    EXPECT_NE (filled.toString(), empty.toString());

    // The update goes on to its end, and the window closes with it.
    ASSERT_TRUE (rig.waitForEnd());
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFinished) << rig.update->getErrorText();
    EXPECT_FALSE (window->isVisible());
    EXPECT_FALSE (window->isCurrentlyModal());
}
