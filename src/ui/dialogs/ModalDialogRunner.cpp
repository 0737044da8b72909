#include "ui/dialogs/ModalDialogRunner.h"
#include "core/DialogService.h"

int runDialogModally (juce::Component& content, const juce::String& title, juce::Component* parent,
                      juce::Colour background)
{
    juce::DialogWindow::LaunchOptions options;
    options.content.setNonOwned (&content);
    options.dialogTitle = title;
    options.dialogBackgroundColour = background;
    options.componentToCentreAround = parent;
    options.escapeKeyTriggersCloseButton = true;
    options.useNativeTitleBar = false;
    options.resizable = false;
    return getDialogService().runModalDialog (options);
}

void closeDialogOf (juce::Component& content, int result)
{
    if (auto* window = content.findParentComponentOfClass<juce::DialogWindow>())
        window->exitModalState (result);
}
