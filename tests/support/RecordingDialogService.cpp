#include "support/RecordingDialogService.h"

namespace testing_support
{
    RecordingDialogService::RecordingDialogService()  { setDialogService (this); }
    RecordingDialogService::~RecordingDialogService() { setDialogService (nullptr); }

    void RecordingDialogService::answerWith (std::initializer_list<int> buttonIndices)
    {
        answers.assign (buttonIndices.begin(), buttonIndices.end());
    }

    void RecordingDialogService::chooseFiles (std::initializer_list<juce::File> chosen)
    {
        files.assign (chosen.begin(), chosen.end());
    }

    juce::StringArray RecordingDialogService::titles() const
    {
        juce::StringArray result;
        for (auto& box : boxes)
            result.add (box.title);
        return result;
    }

    juce::File RecordingDialogService::chooseFile (ChooserMode mode, const juce::String& title,
                                                   const juce::File& initial, const juce::String& patterns)
    {
        choosers.push_back ({ mode, title, initial, patterns });
        if (files.empty())
            return {};
        auto file = files.front();
        files.erase (files.begin());
        return file;
    }

    int RecordingDialogService::showMessageBox (Icon icon, const juce::String& title, const juce::String& message,
                                                const juce::StringArray& buttons, juce::Component* associated)
    {
        boxes.push_back ({ icon, title, message, buttons, associated });
        if (onBox)
        {
            const auto box = boxes.back();
            onBox (box);
        }
        if (answers.empty())
            return 0;
        const int answer = answers.front();
        answers.erase (answers.begin());
        return answer;
    }

    int RecordingDialogService::runModalWindow (juce::DialogWindow& window)
    {
        modalWindowTitles.add (window.getName());
        return onModalWindow ? onModalWindow (window) : 0;
    }

    void RecordingDialogService::chooseFileLists (std::initializer_list<juce::Array<juce::File>> lists)
    {
        fileLists.assign (lists.begin(), lists.end());
    }

    juce::Array<juce::File> RecordingDialogService::chooseFilesToOpen (const juce::String& title,
                                                                       const juce::File& initial,
                                                                       const juce::String& patterns)
    {
        choosers.push_back ({ ChooserMode::openFile, title, initial, patterns });
        if (fileLists.empty())
            return {};
        auto list = fileLists.front();
        fileLists.erase (fileLists.begin());
        return list;
    }

    int RecordingDialogService::showPopupMenu (const juce::PopupMenu& menu, juce::Component*)
    {
        menus.push_back (menu);
        if (menuAnswers.empty())
            return 0;
        const int answer = menuAnswers.front();
        menuAnswers.erase (menuAnswers.begin());
        return answer;
    }

    int RecordingDialogService::runModalDialog (juce::DialogWindow::LaunchOptions& options)
    {
        dialogTitles.add (options.dialogTitle);
        if (onDialogOptions)
            onDialogOptions (options);
        if (onDialog && options.content != nullptr)
            return onDialog (*options.content);
        return 0;
    }

    void RecordingDialogService::answerTextBoxesWith (std::vector<std::pair<int, juce::String>> scripted)
    {
        textAnswers = std::move (scripted);
    }

    int RecordingDialogService::showTextInputBox (const juce::String& title, const juce::String& message,
                                                  const juce::String& fieldLabel, juce::String& text,
                                                  const juce::StringArray& buttons, juce::Component*)
    {
        textBoxes.push_back ({ title, message, fieldLabel, text, buttons });
        if (textAnswers.empty())
            return 0;
        auto answer = textAnswers.front();
        textAnswers.erase (textAnswers.begin());
        text = answer.second;
        return answer.first;
    }
}
