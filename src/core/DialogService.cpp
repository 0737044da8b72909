#include "core/DialogService.h"
#include <atomic>

namespace
{
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
            const auto type = toIconType (icon);
            if (buttons.size() <= 1)
            {
                juce::AlertWindow::showMessageBox (type, title, message,
                                                   buttons.isEmpty() ? juce::String ("OK") : buttons[0], associated);
                return 0;
            }
            if (buttons.size() == 2)
                return juce::AlertWindow::showOkCancelBox (type, title, message, buttons[0], buttons[1], associated) ? 0 : 1;

            // Three buttons: the framework returns 1, 2 and 0 for the first, second and third.
            const int r = juce::AlertWindow::showYesNoCancelBox (type, title, message, buttons[0], buttons[1], buttons[2], associated);
            return r == 1 ? 0 : (r == 2 ? 1 : 2);
        }

        int showPopupMenu (const juce::PopupMenu& menu, juce::Component* target) override
        {
            auto options = juce::PopupMenu::Options();
            if (target != nullptr)
                options = options.withTargetComponent (target);
            juce::PopupMenu copy (menu);  // showing needs a mutable menu
            return copy.showMenu (options);
        }

        juce::File chooseFile (ChooserMode mode, const juce::String& title,
                               const juce::File& initial, const juce::String& patterns) override
        {
            juce::FileChooser chooser (title, initial, patterns);
            bool ok = false;
            switch (mode)
            {
                case ChooserMode::openFile:     ok = chooser.browseForFileToOpen(); break;
                case ChooserMode::saveFile:     ok = chooser.browseForFileToSave (false); break;
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
            return options.runModal();
        }
    };

    std::atomic<DialogService*> installedService { nullptr };
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

