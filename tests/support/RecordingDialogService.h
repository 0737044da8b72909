#pragma once

#include "core/DialogService.h"
#include <functional>
#include <vector>

namespace testing_support
{
    // Installs itself as the dialog service for its lifetime, records every box
    // that would have been shown and answers with scripted button indices
    // (0, the first button, once the script runs out).
    class RecordingDialogService : public DialogService
    {
    public:
        struct Box
        {
            Icon icon;
            juce::String title, message;
            juce::StringArray buttons;
            juce::Component* associated;
        };

        RecordingDialogService();
        ~RecordingDialogService() override;

        struct Chooser
        {
            ChooserMode mode;
            juce::String title;
            juce::File initial;
            juce::String patterns;
        };

        void answerWith (std::initializer_list<int> buttonIndices);
        // The files the next choosers return, in order (cancelled once the list runs out).
        void chooseFiles (std::initializer_list<juce::File> files);

        std::vector<Box> boxes;
        // Called with each box once it is recorded, before it is answered (as if while it is
        // on screen).
        std::function<void (const Box&)> onBox;
        std::vector<juce::String> openedUrls;
        std::vector<juce::PopupMenu> menus;
        std::vector<Chooser> choosers;

        // The box titles, in order.
        juce::StringArray titles() const;

        int showMessageBox (Icon, const juce::String& title, const juce::String& message,
                            const juce::StringArray& buttons, juce::Component* associated) override;
        // The item ids the next menus return, in order (0, nothing chosen, once the list runs out).
        void answerMenusWith (std::initializer_list<int> itemIds) { menuAnswers.assign (itemIds.begin(), itemIds.end()); }
        // `onDialogOptions` sees each modal dialog's launch options (and its content) as if
        // while it is on screen, before `onDialog` below plays the user.
        std::function<void (juce::DialogWindow::LaunchOptions&)> onDialogOptions;
        int showPopupMenu (const juce::PopupMenu& menu, juce::Component*) override;
        juce::File chooseFile (ChooserMode, const juce::String&, const juce::File&, const juce::String&) override;
        bool openUrl (const juce::String& address) override { openedUrls.push_back (address); return true; }
        int runModalDialog (juce::DialogWindow::LaunchOptions& options) override;
        int showTextInputBox (const juce::String& title, const juce::String& message, const juce::String& fieldLabel,
                              juce::String& text, const juce::StringArray& buttons, juce::Component*) override;

        // The dialogs run, by title. While a dialog runs, `onDialog` (when set) plays the
        // user: it gets the dialog's content and returns the window's result (0 without it).
        juce::StringArray dialogTitles;
        std::function<int (juce::Component& content)> onDialog;

        // The text boxes shown, and the scripted answers: the button index and the text
        // typed (0 and the offered text once the script runs out).
        struct TextBox
        {
            juce::String title, message, fieldLabel, offeredText;
            juce::StringArray buttons;
        };
        std::vector<TextBox> textBoxes;
        void answerTextBoxesWith (std::vector<std::pair<int, juce::String>> answers);

        // Program windows are never shown: each is recorded and handed to onModalWindow
        // (as if while on screen), whose answer is the modal result (0 without one).
        std::function<int (juce::DialogWindow&)> onModalWindow;
        juce::StringArray modalWindowTitles;
        int runModalWindow (juce::DialogWindow& window) override;

        // The next multi-file choosers return these lists, in order (cancelled once they run out).
        void chooseFileLists (std::initializer_list<juce::Array<juce::File>> lists);
        juce::Array<juce::File> chooseFilesToOpen (const juce::String& title, const juce::File& initial,
                                                   const juce::String& patterns) override;

    private:
        std::vector<std::pair<int, juce::String>> textAnswers;
        std::vector<int> answers;
        std::vector<juce::File> files;
        std::vector<juce::Array<juce::File>> fileLists;
        std::vector<int> menuAnswers;
    };
}
