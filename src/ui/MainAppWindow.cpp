#include "ui/MainAppWindow.h"
#include "ui/CommandManager.h"
#include "ui/LarkspireContentComponent.h"
#include "core/Settings.h"

namespace
{
    juce::String applicationName()
    {
        if (auto* app = juce::JUCEApplicationBase::getInstance())
            return app->getApplicationName();
        return "Larkspire 2";   // no application object runs (tests)
    }
}

MainAppWindow::MainAppWindow (ContentParts& parts)
    : juce::DocumentWindow (applicationName(), juce::Colour (backgroundArgb), juce::DocumentWindow::allButtons, true)
{
    tooltipWindow = std::make_unique<juce::TooltipWindow>();
    frameLaf = std::make_unique<LSApplicationFrameLaf>();
    setLookAndFeel (frameLaf.get());

    setUsingNativeTitleBar (true);
    setResizable (true, false);
    setIcon (LSLookAndFeel::getEmbeddedImage ("app_icon_png"));
    setTitleBarTextCentred (false);

    setResizeLimits (minimumWidth, minimumHeight, maximumSize, maximumSize);

    const auto state = getSettingText (SettingsKeys::appWindowState);
    if (state.isEmpty() || ! restoreWindowStateFromString (state))
        centreWithSize (defaultWidth, defaultHeight);

    // The content makes itself the command manager's first target and its look and feel
    // every window's default.
    setContentOwned (new LarkspireContentComponent (parts), false);

    setVisible (true);
    keyMappings = getCommandManager().getKeyMappings();
    addKeyListener (keyMappings);

    triggerAsyncUpdate();
    constructed = true;
}

MainAppWindow::~MainAppWindow()
{
    cancelPendingUpdate();
    removeKeyListener (keyMappings);

    clearContentComponent();
    setCommandManager (nullptr);
    tooltipWindow.reset();

    // The window lets go of its look and feel before that is deleted.
    setLookAndFeel (nullptr);
    frameLaf.reset();
}

void MainAppWindow::focusGained (FocusChangeType)
{
    // The window takes the keyboard itself when it becomes active with no component of
    // its own to hand it back to (a dialog had it): the page on show is where keys belong,
    // and the key that woke the window must reach it.
    if (auto* content = getMainContent())
        if (auto* page = content->getTabs().getCurrentContentComponent())
            if (page->isShowing() && page->getWantsKeyboardFocus())
                page->grabKeyboardFocus();
}

void MainAppWindow::closeButtonPressed()
{
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
}

juce::BorderSize<int> MainAppWindow::getBorderThickness()
{
    return juce::BorderSize<int> ((isUsingNativeTitleBar() || isKioskMode()) ? 0 : 1);
}

void MainAppWindow::resized()
{
    juce::DocumentWindow::resized();

    // The limits reach the window manager only as hints, which some ignore (and
    // without one nothing enforces them): a size outside them is put back.
    const bool outside = getWidth() < minimumWidth || getHeight() < minimumHeight
                      || getWidth() > maximumSize || getHeight() > maximumSize;

    if (constructed && outside && ! isFullScreen() && ! isMinimised())
    {
        juce::Component::SafePointer<MainAppWindow> self (this);
        juce::MessageManager::callAsync ([self]
        {
            if (self != nullptr)
                self->setBoundsConstrained (self->getBounds());
        });
    }
}

LarkspireContentComponent* MainAppWindow::getMainContent() const
{
    return dynamic_cast<LarkspireContentComponent*> (getContentComponent());
}

void MainAppWindow::handleAsyncUpdate()
{
    auto& commands = getCommandManager();

    if (auto* target = dynamic_cast<juce::ApplicationCommandTarget*> (getContentComponent()))
        commands.registerAllCommandsForTarget (target);

    if (auto* app = juce::JUCEApplication::getInstance())
        commands.registerAllCommandsForTarget (app);
}
