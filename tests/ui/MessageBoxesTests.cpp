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
