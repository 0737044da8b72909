#include "core/DialogService.h"
#include <atomic>
#include <cstdio>

namespace
{
    // Where a closed box or dialog was, an X server without backing store keeps its
    // pixels until the windows below repaint: repaint them all once it has gone. The
    // keyboard goes back to where it was before the box: without a window manager that
    // hands the focus back, the window below would not get it again. A box's own loop runs
    // on a moment after the box has gone, so the user may already have clicked a control of
    // that window: the keyboard then stays with what they clicked.
    struct RepaintWhenClosed
    {
        juce::Component::SafePointer<juce::Component> focused { juce::Component::getCurrentlyFocusedComponent() };

        ~RepaintWhenClosed()
        {
            repaintAllWindows();

            if (focused == nullptr || ! focused->isShowing() || focused->hasKeyboardFocus (false)
                || focused->isCurrentlyBlockedByAnotherModalComponent())
                return;

            auto* now = juce::Component::getCurrentlyFocusedComponent();
            auto* window = focused->getTopLevelComponent();
            if (now != nullptr && now != window && now->getTopLevelComponent() == window
                && now->isShowing() && now->isEnabled())
                return;

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

    // Every box stands centred on the window it belongs to: the framework would centre it on
    // the component it is given (a panel at one side), or, for one that is not on screen (a
    // page whose tab is not shown), place it by that component's own coordinates, far from
    // the window. Such a box centres on the window the user sees instead.
    juce::Component* boxAnchor (juce::Component* associated)
    {
        if (associated == nullptr)
            return nullptr;   // the framework takes the active window
        if (associated->isShowing())
            return associated->getTopLevelComponent();
        if (auto* active = juce::TopLevelWindow::getActiveTopLevelWindow(); active != nullptr && active->isShowing())
            return active;
        for (int i = 0; i < juce::TopLevelWindow::getNumTopLevelWindows(); ++i)
            if (auto* window = juce::TopLevelWindow::getTopLevelWindow (i); window->isShowing())
                return window;
        return nullptr;
    }

    // A menu at the pointer, inside the target's window. It is not attached to the target: the
    // framework swallows a press on the target that closes an attached menu, and the part
    // pressed then gets drags with no press before them (a panel header lays out from nothing).
    // Its result is 0, and no command item runs, once the target has gone.
    juce::PopupMenu::Options atPointer (juce::Component* target)
    {
        auto options = juce::PopupMenu::Options().withMousePosition();
        if (target != nullptr)
            options = options.withParentComponent (target->getTopLevelComponent()).withDeletionCheck (*target);
        return options;
    }

    class FrameworkDialogService final : public DialogService
    {
    public:
        int showMessageBox (Icon icon, const juce::String& title, const juce::String& message,
                            const juce::StringArray& buttons, juce::Component* associated) override
        {
            RepaintWhenClosed repaint;
            const auto type = toIconType (icon);
            associated = boxAnchor (associated);
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

        void withdrawMessageBoxes (const juce::String& title) override
        {
            auto& modal = *juce::ModalComponentManager::getInstance();
            for (int i = modal.getNumModalComponents(); --i >= 0;)
            {
                auto* box = dynamic_cast<juce::AlertWindow*> (modal.getModalComponent (i));
                if (box != nullptr && box->getName() == title)
                {
                    // Hidden at once: a box whose modal loop lies below the caller's ends only
                    // once the caller has returned.
                    box->setVisible (false);
                    box->exitModalState (0);
                }
            }
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
            juce::PopupMenu copy (menu);
            return copy.showMenu (atPointer (target));
        }

        void showPopupMenuAtPointerAsync (const juce::PopupMenu& menu, juce::Component* target,
                                          std::function<void (int)> onChosen) override
        {
            juce::Component::SafePointer<juce::Component> safeTarget (target);
            juce::PopupMenu copy (menu);
            copy.showMenuAsync (atPointer (target), [safeTarget, hadTarget = target != nullptr,
                                                     onChosen = std::move (onChosen)] (int result)
            {
                if (onChosen && (! hadTarget || safeTarget != nullptr))
                    onChosen (result);
            });
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

        void showMessageBoxAsync (Icon icon, const juce::String& title, const juce::String& message,
                                  const juce::StringArray& buttons, juce::Component* associated,
                                  std::function<void (int)> onClose) override
        {
            // The buttons as showMessageBox has them: with one, Return and Escape press it;
            // with two, Return the first and Escape the second; with three, a letter the
            // first, Return the second and Escape the third.
            const auto texts = buttons.isEmpty() ? juce::StringArray ("OK") : buttons;
            auto* window = new juce::AlertWindow (title, message, toIconType (icon), boxAnchor (associated));
            for (int i = 0; i < texts.size(); ++i)
            {
                juce::KeyPress key, second;
                if (texts.size() == 1)
                    key = juce::KeyPress (juce::KeyPress::returnKey), second = juce::KeyPress (juce::KeyPress::escapeKey);
                else if (i == texts.size() - 1)
                    key = juce::KeyPress (juce::KeyPress::escapeKey);
                else if (i == texts.size() - 2)
                    key = juce::KeyPress (juce::KeyPress::returnKey);
                else
                    key = juce::KeyPress ((int) juce::CharacterFunctions::toLowerCase (texts[i][0]), 0, 0);
                window->addButton (texts[i], i + 1, key, second);
            }

            // Where the keyboard is now, before the box takes it, is where it goes back to.
            auto keeper = std::make_shared<RepaintWhenClosed>();
            const int count = texts.size();
            window->enterModalState (true, juce::ModalCallbackFunction::create ([onClose, count, keeper] (int r) mutable
            {
                keeper.reset();
                if (onClose)
                    onClose (r >= 1 && r <= count ? r - 1 : -1);
            }), true);
        }
    };

    // Everything answered at once as dismissed; nothing is shown. A reporting one writes the
    // boxes and dialogs it refuses to the error output.
    class RefusingDialogService final : public DialogService
    {
    public:
        explicit RefusingDialogService (bool reportsBoxes) : reports (reportsBoxes) {}

        int showMessageBox (Icon, const juce::String& title, const juce::String& message, const juce::StringArray&,
                            juce::Component*) override { report (title, message); return -1; }
        int showPopupMenu (const juce::PopupMenu&, juce::Component*) override { return 0; }
        juce::File chooseFile (ChooserMode, const juce::String&, const juce::File&, const juce::String&) override { return {}; }
        bool openUrl (const juce::String&) override { return false; }
        int runModalDialog (juce::DialogWindow::LaunchOptions& options) override { report (options.dialogTitle, {}); return 0; }
        int runModalWindow (juce::DialogWindow& window) override { report (window.getName(), {}); return 0; }
        juce::Array<juce::File> chooseFilesToOpen (const juce::String&, const juce::File&, const juce::String&) override { return {}; }
        int showTextInputBox (const juce::String& title, const juce::String& message, const juce::String&, juce::String&,
                              const juce::StringArray&, juce::Component*) override { report (title, message); return -1; }

    private:
        void report (const juce::String& title, const juce::String& message) const
        {
            if (reports)
                writeBoxToErrorOutput (title, message);
        }

        const bool reports;
    };

    std::atomic<DialogService*> installedService { nullptr };
}

void repaintAllWindows()
{
    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* window = desktop.getComponent (i))
            window->repaint();
}

void DialogService::showMessageBoxAsync (Icon icon, const juce::String& title, const juce::String& message,
                                         const juce::StringArray& buttons, juce::Component* associated,
                                         std::function<void (int)> onClose)
{
    const int result = showMessageBox (icon, title, message, buttons, associated);
    if (onClose)
        onClose (result);
}

void DialogService::showPopupMenuAtPointerAsync (const juce::PopupMenu& menu, juce::Component* target,
                                                 std::function<void (int)> onChosen)
{
    juce::Component::SafePointer<juce::Component> safeTarget (target);
    const int result = showPopupMenuAtPointer (menu, target);
    if (onChosen && (target == nullptr || safeTarget != nullptr))
        onChosen (result);
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
    juce::AlertWindow window (title, message, juce::MessageBoxIconType::QuestionIcon, boxAnchor (associated));
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

DialogService& getRefusingDialogService()
{
    static RefusingDialogService refusingService (false);
    return refusingService;
}

DialogService& getReportingDialogService()
{
    static RefusingDialogService reportingService (true);
    return reportingService;
}

void writeBoxToErrorOutput (const juce::String& title, const juce::String& message)
{
    const auto line = (message.isEmpty() ? title : title + ": " + message.replaceCharacters ("\r\n", "  ")) + "\n";
    std::fputs (line.toRawUTF8(), stderr);
    std::fflush (stderr);
}
