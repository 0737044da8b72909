#include <gtest/gtest.h>
#include "ui/MessageBoxes.h"
#include "core/SampleCloudUsers.h"
#include "support/RecordingDialogService.h"

using testing_support::RecordingDialogService;
using Icon = DialogService::Icon;

TEST (MessageBoxes, AskOkCancelShowsBothTextsAndAnswersForTheFirst)
{
    RecordingDialogService dialogs;
    juce::Component owner;

    dialogs.answerWith ({ 0, 1, -1 });
    EXPECT_TRUE (askOkCancel (juce::MessageBoxIconType::WarningIcon, &owner, "Changes Will Be Lost", "Text",
                              false, "Quit Anyway", "Cancel"));
    EXPECT_FALSE (askOkCancel (juce::MessageBoxIconType::QuestionIcon, nullptr, "T", "M", false, "Scan Now", "Later"));
    EXPECT_FALSE (askOkCancel (juce::MessageBoxIconType::InfoIcon, nullptr, "T", "M", false, "A", "B"));   // dismissed

    ASSERT_EQ (dialogs.boxes.size(), 3u);
    const auto& first = dialogs.boxes[0];
    EXPECT_EQ (first.icon, Icon::warning);
    EXPECT_EQ (first.title, "Changes Will Be Lost");
    EXPECT_EQ (first.message, "Text");
    EXPECT_EQ (first.buttons, juce::StringArray ({ "Quit Anyway", "Cancel" }));
    EXPECT_EQ (first.associated, &owner);
    EXPECT_EQ (dialogs.boxes[1].icon, Icon::question);
    EXPECT_EQ (dialogs.boxes[2].icon, Icon::info);
}

TEST (MessageBoxes, DefaultSecondButtonLeavesTheFrameworkText)
{
    RecordingDialogService dialogs;
    askOkCancel (juce::MessageBoxIconType::QuestionIcon, nullptr, "Firmware Update!", "Sure?",
                 true, "Start Update", "Whatever is passed");
    ASSERT_EQ (dialogs.boxes.size(), 1u);
    ASSERT_EQ (dialogs.boxes[0].buttons.size(), 2);
    EXPECT_EQ (dialogs.boxes[0].buttons[0], "Start Update");
    EXPECT_TRUE (dialogs.boxes[0].buttons[1].isEmpty());
}

TEST (MessageBoxes, InfoWarningAndYesNo)
{
    RecordingDialogService dialogs;
    juce::Component owner;

    showInfoBox (&owner, "USB Device Change", "A change");
    showWarningBox (nullptr, "Error", "Stopped");
    dialogs.answerWith ({ 0, 1 });
    EXPECT_TRUE (askYesNo (&owner, "Question", "Sure?"));
    EXPECT_FALSE (askYesNo (&owner, "Question", "Sure?"));

    ASSERT_EQ (dialogs.boxes.size(), 4u);
    EXPECT_EQ (dialogs.boxes[0].icon, Icon::info);
    EXPECT_EQ (dialogs.boxes[0].buttons, juce::StringArray ({ "OK" }));
    EXPECT_EQ (dialogs.boxes[0].associated, &owner);
    EXPECT_EQ (dialogs.boxes[1].icon, Icon::warning);
    EXPECT_EQ (dialogs.boxes[1].title, "Error");
    EXPECT_EQ (dialogs.boxes[1].buttons, juce::StringArray ({ "OK" }));
    EXPECT_EQ (dialogs.boxes[2].icon, Icon::question);
    EXPECT_EQ (dialogs.boxes[2].buttons, juce::StringArray ({ "Yes", "No" }));
}

TEST (MessageBoxes, QueuedBoxesOpenOneAtATimeAndNoneAfterAFatalError)
{
    // Boxes stay open until the test closes them, as a user would.
    struct OpenBoxes : RecordingDialogService
    {
        std::vector<std::function<void (int)>> open;
        void showMessageBoxAsync (Icon icon, const juce::String& title, const juce::String& message,
                                  const juce::StringArray& buttons, juce::Component* associated,
                                  std::function<void (int)> onClose) override
        {
            boxes.push_back ({ icon, title, message, buttons, associated });
            open.push_back (std::move (onClose));
        }
        void close (int button)
        {
            auto onClose = std::move (open.front());
            open.erase (open.begin());
            if (onClose)
                onClose (button);
        }
    } dialogs;

    juce::StringArray answers;
    auto answer = [&answers] (const char* title) { return [&answers, title] (int b) { answers.add (title + juce::String (b)); }; };
    queueMessageBox (Icon::warning, nullptr, "First", "1", { "OK" }, answer ("First"));
    queueMessageBox (Icon::question, nullptr, "Second", "2", { "Yes", "No" }, answer ("Second"));
    queueMessageBox (Icon::info, nullptr, "Third", "3", { "OK" });
    EXPECT_EQ (dialogs.titles(), juce::StringArray ({ "First" }));

    dialogs.close (0);
    EXPECT_EQ (dialogs.titles(), juce::StringArray ({ "First", "Second" }));
    EXPECT_EQ (answers, juce::StringArray ({ "First0" }));
    dialogs.close (1);
    EXPECT_EQ (dialogs.titles(), juce::StringArray ({ "First", "Second", "Third" }));
    EXPECT_EQ (answers, juce::StringArray ({ "First0", "Second1" }));

    // Once a fatal error is raised nothing opens any more, queued or not, but the error's box.
    queueMessageBox (Icon::info, nullptr, "Fourth", "4", { "OK" }, answer ("Fourth"));
    auto& errorDialogs = getDialogService();
    setDialogService (&getRefusingDialogService());
    dialogs.close (0);
    showWarningBox (nullptr, "Fifth", "5");
    EXPECT_FALSE (askYesNo (nullptr, "Sixth", "6"));
    errorDialogs.showMessageBoxAsync (Icon::warning, "Error", "E", { "OK" }, nullptr, {});
    EXPECT_EQ (dialogs.titles(), juce::StringArray ({ "First", "Second", "Third", "Error" }));
    EXPECT_EQ (answers, juce::StringArray ({ "First0", "Second1", "Fourth-1" }));
    dialogs.close (0);
}

TEST (MessageBoxes, AvatarsForTheSampleUsersElseTheDefault)
{
    const auto first = getUserAvatarImage (juce::var (SampleCloudUsers::first));
    const auto second = getUserAvatarImage (juce::var (SampleCloudUsers::second));
    const auto fallback = getUserAvatarImage (juce::var ("Someone Else"));

    ASSERT_TRUE (first.isValid());
    ASSERT_TRUE (second.isValid());
    ASSERT_TRUE (fallback.isValid());

    // Three different pictures...
    auto centre = [] (const juce::Image& i) { return i.getPixelAt (i.getWidth() / 2, i.getHeight() / 8); };
    EXPECT_NE (centre (first), centre (second));
    EXPECT_NE (centre (first), centre (fallback));
    EXPECT_NE (centre (second), centre (fallback));

    // ...each decoded once and shared.
    EXPECT_EQ (getUserAvatarImage (juce::var (SampleCloudUsers::first)), first);
    EXPECT_EQ (getUserAvatarImage (juce::var()), fallback);
    EXPECT_EQ (getUserAvatarImage (juce::var ("")), fallback);
    EXPECT_EQ (getUserAvatarImage (juce::var (42)), fallback);
    EXPECT_EQ (getUserAvatarImage (juce::var (juce::String (SampleCloudUsers::first).toUpperCase())), fallback);
}
