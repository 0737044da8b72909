#include <gtest/gtest.h>
#include "core/DialogService.h"
#include "core/Settings.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/WarnFileReplaceDialog.h"
#include "support/TestEnvironment.h"

using namespace juce;

namespace
{
    // Acts on the dialog once it is on screen and modal, as the user would; gives up (ending
    // whatever is modal) after a bounded number of polls so a broken dialog fails, not hangs.
    template <typename DialogType>
    struct ModalDriver : Timer
    {
        explicit ModalDriver (std::function<void (DialogType&)> a) : action (std::move (a)) { startTimer (20); }

        void timerCallback() override
        {
            auto* modal = Component::getCurrentlyModalComponent();
            if (auto* dialog = dynamic_cast<DialogType*> (modal); dialog != nullptr && dialog->isShowing())
            {
                stopTimer();
                sawOnScreen = dialog->isOnDesktop();
                action (*dialog);
            }
            else if (++polls > 1500)
            {
                stopTimer();
                if (modal != nullptr)
                    modal->exitModalState (-42);
            }
        }

        std::function<void (DialogType&)> action;
        int polls = 0;
        bool sawOnScreen = false;
    };

    struct ModalDialogTest : ::testing::Test
    {
        testing_support::TempHome home;
        void SetUp() override    { configureApplicationProperties(); setDialogService (nullptr); }
        void TearDown() override { deleteApplicationProperties(); }
    };
}

TEST_F (ModalDialogTest, ReplaceQuestionRunsOnScreenAndEndsByItsButtons)
{
    {
        ModalDriver<WarnFileReplaceDialog> user ([] (WarnFileReplaceDialog& d)
        {
            d.getContent().toggleButtonApplyToAll.setToggleState (true, dontSendNotification);
            d.getContent().textButtonYes.triggerClick();
        });
        EXPECT_EQ (WarnFileReplaceDialog::run (nullptr, "Replace File", "'a.syx' already exists.",
                                               "\n\nDo you want to replace the existing file?", true), 3);
        EXPECT_TRUE (user.sawOnScreen);
    }
    {
        ModalDriver<WarnFileReplaceDialog> user ([] (WarnFileReplaceDialog& d)
        {
            static_cast<Component&> (d).keyPressed (KeyPress (KeyPress::escapeKey));
        });
        EXPECT_EQ (WarnFileReplaceDialog::run (nullptr, "Replace File", "'a.syx' already exists.", {}, false), 0);
        EXPECT_TRUE (user.sawOnScreen);
    }
}

TEST_F (ModalDialogTest, ExportDialogReportsStartExport)
{
    testing_support::TempFolder folder;
    setSetting (SettingsKeys::exportFolder, folder.get().getFullPathName());
    ModalDriver<ExportDialog> user ([] (ExportDialog& d)
    {
        d.getContent().toggleButtonSetupData.triggerClick();
        d.getContent().textButtonStartExport.triggerClick();
    });
    ExportContent::Choices choices;
    ASSERT_TRUE (ExportDialog::run (nullptr, { "Workspace" }, { true }, 0, false, choices));
    EXPECT_EQ (choices.data, ExportContent::Data::setup);
    EXPECT_TRUE (choices.fileName.startsWith ("Setup_"));
    EXPECT_EQ (choices.folder, folder.get());
    EXPECT_EQ (getSettingText (SettingsKeys::exportFolder), folder.get().getFullPathName());
}
