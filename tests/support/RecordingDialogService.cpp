#include "support/RecordingDialogService.h"

namespace testing_support
{
    RecordingDialogService::RecordingDialogService()  { setDialogService (this); }
    RecordingDialogService::~RecordingDialogService() { setDialogService (nullptr); }

    void RecordingDialogService::answerWith (std::initializer_list<int> buttonIndices)
    {
        answers.assign (buttonIndices.begin(), buttonIndices.end());
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
}
