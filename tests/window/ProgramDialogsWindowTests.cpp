#include <gtest/gtest.h>
#include "core/Settings.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/FirmwareChooserContent.h"
#include "ui/dialogs/MidiDevicesComp.h"
#include "ui/dialogs/OptionsContent.h"
#include "ui/dialogs/ProgramDialogs.h"
#include "support/TestEnvironment.h"
#include "ScreenTools.h"

using namespace testing_support;

namespace
{
    // The program's dialogs in real windows on the test display, driven with real clicks
    // and keys while their modal loop runs.
    struct ProgramDialogsWindowTest : ::testing::Test
    {
        TempHome home;
        std::unique_ptr<LSLookAndFeel> lnf;

        void SetUp() override
        {
            configureApplicationProperties();
            lnf = std::make_unique<LSLookAndFeel>();
            juce::LookAndFeel::setDefaultLookAndFeel (lnf.get());
        }

        void TearDown() override
        {
            juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
            lnf.reset();
            deleteApplicationProperties();
        }
    };

    // Runs `user` once, from the message loop, as soon as a modal dialog window is up. A
    // window that is still up 30 s after that is closed with -2 and counted, so that a
    // click or key that went astray fails the test instead of hanging it.
    class WhileModal : private juce::Timer
    {
    public:
        explicit WhileModal (std::function<void (juce::DialogWindow&)> u) : user (std::move (u)) { startTimer (50); }
        ~WhileModal() override { stopTimer(); }
        bool ran = false;
        bool forced = false;

    private:
        void timerCallback() override
        {
            auto* window = dynamic_cast<juce::DialogWindow*> (juce::Component::getCurrentlyModalComponent());
            if (ran)
            {
                if (window != nullptr && window == handled && ++ticksAfter > 600)
                {
                    forced = true;
                    stopTimer();
                    window->exitModalState (-2);
                }
                return;
            }
            // Shown for the framework is not yet mapped for the X server: a click before
            // that would go astray.
            if (window == nullptr || ! window->isShowing() || ++ticks < 4 || findVisibleWindow (window->getName()) == 0)
                return;
            ran = true;
            handled = window;
            user (*window);
        }

        std::function<void (juce::DialogWindow&)> user;
        juce::Component::SafePointer<juce::DialogWindow> handled;
        int ticks = 0, ticksAfter = 0;
    };
}

TEST_F (ProgramDialogsWindowTest, OptionsDialogStoresWhatItsOkButtonConfirms)
{
    ProgramDialogs dialogs;
    juce::Component owner;
    juce::String title;
    bool windowFound = false;

    WhileModal user ([&] (juce::DialogWindow& window)
    {
        title = window.getName();
        windowFound = findVisibleWindow ("Options") != 0;
        auto* content = dynamic_cast<OptionsContent*> (window.getContentComponent());
        ASSERT_NE (content, nullptr);
        content->getGeneralPage().sliderResolution.setValue (125.0, juce::sendNotificationSync);
        clickAt (content->textButtonOk.getScreenBounds().getCentre());
    });
    const auto result = dialogs.runOptionsDialog (owner);

    EXPECT_TRUE (user.ran);
    EXPECT_FALSE (user.forced) << "the click on Ok did not close the dialog";
    EXPECT_EQ (title, "Options");
    EXPECT_TRUE (windowFound);
    EXPECT_TRUE (result.accepted);
    EXPECT_TRUE (result.restartNeeded);
    EXPECT_FLOAT_EQ (getUiScalingFactor(), 1.25f);
}

TEST_F (ProgramDialogsWindowTest, OptionsDialogClosedWithEscapeStoresNothing)
{
    ProgramDialogs dialogs;
    juce::Component owner;
    WhileModal user ([&] (juce::DialogWindow& window)
    {
        auto* content = dynamic_cast<OptionsContent*> (window.getContentComponent());
        ASSERT_NE (content, nullptr);
        content->getGeneralPage().sliderResolution.setValue (200.0, juce::sendNotificationSync);
        // A click on the dialog gives it the keyboard focus; then the Escape key, again
        // while the dialog stays (as a user would when a key went nowhere).
        const auto inside = content->tabbedComponent.getScreenBounds().getCentre().translated (0, 40);
        clickAt (inside);
        pumpUntil ([&]
        {
            if (window.hasKeyboardFocus (true))
                pressKeys ("Escape");
            else
                clickAt (inside);
            pumpFor (500);
            return ! window.isCurrentlyModal();
        }, 25000);
    });
    const auto result = dialogs.runOptionsDialog (owner);
    EXPECT_TRUE (user.ran);
    EXPECT_FALSE (user.forced) << "Escape did not close the dialog";
    EXPECT_FALSE (result.accepted);
    EXPECT_FLOAT_EQ (getUiScalingFactor(), 1.0f);
}

TEST_F (ProgramDialogsWindowTest, FirmwareChooserAndDeviceListShowAndClose)
{
    ProgramDialogs dialogs;
    juce::Component owner;

    // No content: an empty list, so "Start Update" is disabled and "Cancel" ends it.
    juce::String chooserTitle;
    WhileModal chooser ([&] (juce::DialogWindow& window)
    {
        chooserTitle = window.getName();
        auto* content = dynamic_cast<FirmwareChooserContent*> (window.getContentComponent());
        ASSERT_NE (content, nullptr);
        EXPECT_FALSE (content->textButtonStartUpdate.isEnabled());
        EXPECT_TRUE (content->textButtonCustomUpdate.isShowing());
        clickAt (content->textButtonCancel.getScreenBounds().getCentre());
    });
    FirmwareUpdateElement chosen;
    EXPECT_FALSE (dialogs.runFirmwareChooser (owner, 99, true, chosen));
    EXPECT_TRUE (chooser.ran);
    EXPECT_FALSE (chooser.forced);
    EXPECT_EQ (chooserTitle, "Product Firmware Updates");

    // The device list shows its empty message on screen and closes with its close button.
    int ink = 0;
    WhileModal list ([&] (juce::DialogWindow& window)
    {
        auto* content = dynamic_cast<MidiDevicesComp*> (window.getContentComponent());
        ASSERT_NE (content, nullptr);
        const auto shot = takeScreenshot();
        // The message is drawn in a mid grey on the light panel: count what is not panel.
        const auto area = content->getScreenBounds().reduced (40, 50).getIntersection (shot.getBounds());
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
            {
                const auto c = shot.getPixelAt (x, y);
                if (std::abs (c.getRed() - paletteColour090.getRed()) + std::abs (c.getGreen() - paletteColour090.getGreen())
                        + std::abs (c.getBlue() - paletteColour090.getBlue()) > 60)
                    ++ink;
            }
        window.closeButtonPressed();
    });
    dialogs.runMidiDeviceList (owner);
    EXPECT_TRUE (list.ran);
    EXPECT_GT (ink, 50);
}
