#include "core/DialogService.h"
#include <atomic>

namespace
{
    // Where a closed box or dialog was, an X server without backing store keeps its
    // pixels until the windows below repaint: repaint them all once it has gone. The
    // keyboard goes back to where it was before the box: without a window manager that
    // hands the focus back, the window below would not get it again.
    struct RepaintWhenClosed
    {
        juce::Component::SafePointer<juce::Component> focused { juce::Component::getCurrentlyFocusedComponent() };

        ~RepaintWhenClosed()
        {
            auto& desktop = juce::Desktop::getInstance();
            for (int i = 0; i < desktop.getNumComponents(); ++i)
                if (auto* window = desktop.getComponent (i))
                    window->repaint();

            if (focused != nullptr && focused->isShowing() && ! focused->hasKeyboardFocus (false)
                && ! focused->isCurrentlyBlockedByAnotherModalComponent())
                focused->grabKeyboardFocus();
        }
    };

    juce::MessageBoxIconType toIconType (DialogService::Icon icon)
    {
        switch (icon)
        {
            case DialogService::Icon::info:     return juce::MessageBoxIconType::InfoIcon;
            case DialogService::Icon::warning:  return juce::MessageBoxIconType::WarningIcon;
            case DialogService::Icon::question: return juce::MessageBoxIconType::QuestionIcon;
            case DialogService::Icon::none:     break;
        }
        return juce::MessageBoxIconType::NoIcon;
    }

    class FrameworkDialogService final : public DialogService
    {
    public:
        int showMessageBox (Icon icon, const juce::String& title, const juce::String& message,
                            const juce::StringArray& buttons, juce::Component* associated) override
        {
            RepaintWhenClosed repaint;
            const auto type = toIconType (icon);
            if (buttons.size() <= 1)
            {
                juce::AlertWindow::showMessageBox (type, title, message,
                                                   buttons.isEmpty() ? juce::String ("OK") : buttons[0], associated);
                return 0;
            }
            if (buttons.size() == 2)
                return juce::AlertWindow::showOkCancelBox (type, title, message, buttons[0], buttons[1], associated) ? 0 : 1;

            // Three buttons: an alternative, the answer (Return) and the refusal (Escape),
            // as in "Show Details...", "Yes", "No".
            juce::AlertWindow window (title, message, type, associated);
            window.addButton (buttons[0], 1, juce::KeyPress ((int) juce::CharacterFunctions::toLowerCase (buttons[0][0]), 0, 0));
            window.addButton (buttons[1], 2, juce::KeyPress (juce::KeyPress::returnKey));
            window.addButton (buttons[2], 3, juce::KeyPress (juce::KeyPress::escapeKey));
           #if JUCE_MODAL_LOOPS_PERMITTED
            const int r = window.runModalLoop();
           #else
            const int r = 0;
           #endif
            return r >= 1 && r <= 3 ? r - 1 : -1;
        }

        int showPopupMenu (const juce::PopupMenu& menu, juce::Component* target) override
        {
            auto options = juce::PopupMenu::Options();
            if (target != nullptr)
                options = options.withTargetComponent (target);
            juce::PopupMenu copy (menu);  // showing needs a mutable menu
            return copy.showMenu (options);
        }

        int showPopupMenuAtPointer (const juce::PopupMenu& menu, juce::Component* target) override
        {
            auto options = juce::PopupMenu::Options();
            if (target != nullptr)
                options = options.withTargetComponent (target)
                                 .withParentComponent (target->getTopLevelComponent());
            // The target component alone would place the menu beside the whole component.
            options = options.withMousePosition();
            juce::PopupMenu copy (menu);
            return copy.showMenu (options);
        }

        juce::File chooseFile (ChooserMode mode, const juce::String& title,
                               const juce::File& initial, const juce::String& patterns) override
        {
            RepaintWhenClosed repaint;
            juce::FileChooser chooser (title, initial, patterns);
            bool ok = false;
            switch (mode)
            {
                case ChooserMode::openFile:     ok = chooser.browseForFileToOpen(); break;
                case ChooserMode::saveFile:     ok = chooser.browseForFileToSave (false); break;
                case ChooserMode::saveFileConfirmOverwrite: ok = chooser.browseForFileToSave (true); break;
                case ChooserMode::chooseFolder: ok = chooser.browseForDirectory(); break;
            }
            return ok ? chooser.getResult() : juce::File();
        }

        bool openUrl (const juce::String& address) override
        {
            if (isWebAddress (address))
                return juce::URL (address).launchInDefaultBrowser();
            // Local files open unencoded: the data folder's name has a space in it.
            return juce::File (address).startAsProcess();
        }

        int runModalDialog (juce::DialogWindow::LaunchOptions& options) override
        {
            RepaintWhenClosed repaint;
            return options.runModal();
        }
    };

    std::atomic<DialogService*> installedService { nullptr };
}

int DialogService::runModalWindow (juce::DialogWindow& window)
{
    RepaintWhenClosed repaint;
    if (! window.isOnDesktop())
        window.addToDesktop (window.getDesktopWindowStyleFlags());
   #if JUCE_MODAL_LOOPS_PERMITTED
    return window.runModalLoop();
   #else
    return 0;
   #endif
}

juce::Array<juce::File> DialogService::chooseFilesToOpen (const juce::String& title, const juce::File& initial,
                                                          const juce::String& patterns)
{
    RepaintWhenClosed repaint;
    juce::FileChooser chooser (title, initial, patterns);
    if (chooser.browseForMultipleFilesToOpen())
        return chooser.getResults();
    return {};
}

int DialogService::showTextInputBox (const juce::String& title, const juce::String& message,
                                     const juce::String& fieldLabel, juce::String& text,
                                     const juce::StringArray& buttons, juce::Component* associated)
{
    RepaintWhenClosed repaint;   // declared first: it runs after the box is gone
    juce::AlertWindow window (title, message, juce::MessageBoxIconType::QuestionIcon, associated);
    window.addTextEditor ("text", text, fieldLabel);
    for (int i = 0; i < buttons.size(); ++i)
    {
        juce::KeyPress key;
        if (i == 0)
            key = juce::KeyPress (juce::KeyPress::returnKey);
        else if (i == buttons.size() - 1)
            key = juce::KeyPress (juce::KeyPress::escapeKey);
        window.addButton (buttons[i], i + 1, key);
    }
   #if JUCE_MODAL_LOOPS_PERMITTED
    const int r = window.runModalLoop();
   #else
    const int r = 0;
   #endif
    text = window.getTextEditorContents ("text");
    return r >= 1 && r <= buttons.size() ? r - 1 : -1;
}

DialogService& getDialogService()
{
    if (auto* s = installedService.load())
        return *s;
    static FrameworkDialogService frameworkService;
    return frameworkService;
}

void setDialogService (DialogService* service)
{
    installedService.store (service);
}

