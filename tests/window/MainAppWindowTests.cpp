#include <gtest/gtest.h>
#include "app/Larkspire.h"
#include "app/Nexus.h"
#include "core/Settings.h"
#include "device/DeviceManager.h"
#include "device/DeviceProfiler.h"
#include "ui/CommandManager.h"
#include "ui/MainAppWindow.h"
#include "ui/LarkspireContentComponent.h"
#include "support/TestEnvironment.h"
#include "ScreenTools.h"

using namespace testing_support;

namespace
{
    // A main window made in this process, on the test's X display.
    struct MainWindowTest : ::testing::Test
    {
        TempHome home;
        void SetUp() override    { configureApplicationProperties(); }
        void TearDown() override
        {
            setCommandManager (nullptr);
            deleteApplicationProperties();
        }

        static juce::Rectangle<int> centredDefault()
        {
            const auto area = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
            return area.withSizeKeepingCentre (1020, 734);
        }
    };
}

TEST_F (MainWindowTest, OpensCentredAtItsDefaultSizeWithoutSettings)
{
    MainAppWindow window;
    EXPECT_EQ (window.getBounds(), centredDefault());
    EXPECT_TRUE (window.isVisible());
    EXPECT_TRUE (window.isOnDesktop());

    EXPECT_EQ (window.getName(), "Larkspire 2");
    EXPECT_EQ (window.getBackgroundColour().getARGB(), 0xffd3d3d3u);
    EXPECT_TRUE (window.isUsingNativeTitleBar());
    EXPECT_TRUE (window.isResizable());
    EXPECT_EQ (window.getDesktopWindowStyleFlags() & juce::ComponentPeer::windowHasMinimiseButton,
               juce::ComponentPeer::windowHasMinimiseButton);
    EXPECT_EQ (window.getDesktopWindowStyleFlags() & juce::ComponentPeer::windowHasMaximiseButton,
               juce::ComponentPeer::windowHasMaximiseButton);
    EXPECT_EQ (window.getDesktopWindowStyleFlags() & juce::ComponentPeer::windowHasCloseButton,
               juce::ComponentPeer::windowHasCloseButton);
    EXPECT_EQ (window.getBorderThickness(), juce::BorderSize<int> (0));
    EXPECT_NE (window.getTooltipWindow(), nullptr);

    EXPECT_EQ (&window.getLookAndFeel(), &window.getFrameLookAndFeel());
    auto* content = window.getMainContent();
    ASSERT_NE (content, nullptr);
    EXPECT_EQ (content->getBounds(), window.getLocalBounds());
    // The content's look and feel is every window's default while the main window lives.
    EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &content->getLSLookAndFeel());

    window.setUsingNativeTitleBar (false);
    EXPECT_EQ (window.getBorderThickness(), juce::BorderSize<int> (1));
}

TEST_F (MainWindowTest, UnusableSavedStateGivesTheCentredDefault)
{
    for (auto state : { "", "garbage", "10 20 0 0", "fs", "1 2 3" })
    {
        SCOPED_TRACE (state);
        setSetting (SettingsKeys::appWindowState, state);
        MainAppWindow window;
        EXPECT_EQ (window.getBounds(), centredDefault());
    }
}

TEST_F (MainWindowTest, RestoresItsSavedState)
{
    setSetting (SettingsKeys::appWindowState, "120 140 900 700");
    MainAppWindow window;
    EXPECT_EQ (window.getBounds(), juce::Rectangle<int> (120, 140, 900, 700));
    EXPECT_EQ (window.getWindowStateAsString(), "120 140 900 700");
}

TEST_F (MainWindowTest, CannotBeMadeSmallerThanItsMinimum)
{
    setSetting (SettingsKeys::appWindowState, "10 10 300 200");   // too small: limited on restore
    MainAppWindow window;
    EXPECT_EQ (window.getWidth(), 714);
    EXPECT_EQ (window.getHeight(), 646);

    auto* limits = window.getConstrainer();
    ASSERT_NE (limits, nullptr);
    EXPECT_EQ (limits->getMinimumWidth(), 714);
    EXPECT_EQ (limits->getMinimumHeight(), 646);
    EXPECT_EQ (limits->getMaximumWidth(), 10000);
    EXPECT_EQ (limits->getMaximumHeight(), 10000);

    window.setBoundsConstrained ({ 50, 50, 100, 100 });
    EXPECT_EQ (window.getBounds(), juce::Rectangle<int> (50, 50, 714, 646));

    // Made smaller from outside (as a user's drag through the window system would),
    // it goes back to its minimum.
    window.setBounds (100, 100, 900, 700);
    auto* peer = window.getPeer();
    ASSERT_NE (peer, nullptr);
    const auto id = (juce::int64) (juce::pointer_sized_uint) peer->getNativeHandle();
    runTool ({ "xdotool", "windowsize", juce::String (id), "300", "200" });
    EXPECT_TRUE (pumpUntil ([&] { return window.getWidth() == 714 && window.getHeight() == 646; }, 20000))
        << window.getBounds().toString();
    EXPECT_TRUE (pumpUntil ([&] { return getWindowGeometry ((unsigned long) id) == juce::Rectangle<int> (100, 100, 714, 646); },
                            20000));
}

TEST_F (MainWindowTest, RegistersCommandsOnALaterTurnOfTheMessageLoop)
{
    Larkspire app;   // the application object whose commands include quit
    const auto quit = juce::StandardApplicationCommandIDs::quit;
    {
        MainAppWindow window;
        EXPECT_EQ (getCommandManager().getCommandForID (quit), nullptr);
        ASSERT_TRUE (pumpUntil ([&] { return getCommandManager().getCommandForID (quit) != nullptr; }, 10000));
    }

    // The window took the command manager with it; a new one starts empty.
    EXPECT_FALSE (hasCommandManager());
    EXPECT_EQ (getCommandManager().getNumCommands(), 0);
    EXPECT_TRUE (hasCommandManager());
}

TEST_F (MainWindowTest, LetsGoOfItsLookAndFeelsWhenDeleted)
{
    auto window = std::make_unique<MainAppWindow>();
    EXPECT_NE (dynamic_cast<LSLookAndFeel*> (&juce::LookAndFeel::getDefaultLookAndFeel()), nullptr);
    window.reset();
    EXPECT_EQ (dynamic_cast<LSLookAndFeel*> (&juce::LookAndFeel::getDefaultLookAndFeel()), nullptr);
    EXPECT_FALSE (hasCommandManager());

    // A second window after the first works the same way.
    MainAppWindow again;
    EXPECT_EQ (again.getBounds(), centredDefault());
}

TEST_F (MainWindowTest, CloseButtonAsksTheApplicationToQuit)
{
    struct RecordingApp : Larkspire
    {
        int quitRequests = 0;
        void systemRequestedQuit() override { ++quitRequests; }
    } app;

    MainAppWindow window;
    window.closeButtonPressed();
    EXPECT_EQ (app.quitRequests, 1);
    EXPECT_TRUE (window.isVisible());   // the application decides; the window stays until then
}

TEST_F (MainWindowTest, HubCreatesTheWindowAndStoresItsStateAtShutdown)
{
    Nexus hub;
    hub.startUp();
    auto* window = hub.getMainWindow();
    ASSERT_NE (window, nullptr);
    EXPECT_EQ (window->getBounds(), centredDefault());
    // The device profiler follows the window at once, the device manager once the web has
    // answered (without control content on disk); the manager's thread runs.
    ASSERT_NE (getDeviceProfiler(), nullptr);
    ASSERT_TRUE (pumpUntil ([] { return getDeviceManager() != nullptr; }, 60000));
    EXPECT_TRUE (getDeviceManager()->isThreadRunning());

    window->setBounds (40, 60, 800, 700);
    hub.shutDown();
    EXPECT_EQ (hub.getMainWindow(), nullptr);
    EXPECT_EQ (getDeviceManager(), nullptr);
    EXPECT_EQ (getDeviceProfiler(), nullptr);
    EXPECT_FALSE (hasCommandManager());
    EXPECT_EQ (getSettingText (SettingsKeys::appWindowState), "40 60 800 700");

    // A second start-up opens where the first one left off.
    hub.startUp();
    ASSERT_NE (hub.getMainWindow(), nullptr);
    EXPECT_EQ (hub.getMainWindow()->getBounds(), juce::Rectangle<int> (40, 60, 800, 700));
    hub.shutDown();
}
