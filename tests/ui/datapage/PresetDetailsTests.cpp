#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "ui/LSLookAndFeel.h"
#include "ui/datapage/DetailsPanel.h"
#include "support/FakeDataPage.h"
#include "support/PresetGridFixtures.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    struct PresetDetailsTest : ::testing::Test
    {
        ScopedProductNames names;
        LSLookAndFeel lookAndFeel;
        FakeDataPage page;
        juce::ValueTree root { createSourceNode (SourceIds::root, "Root Node") };
        juce::ValueTree backups { createBackupsSourceNode() };
        juce::ValueTree cloud { createCloudSourceNode() };
        std::unique_ptr<PresetDetailsContainer> details;

        PresetDetailsTest()
        {
            juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);
            root.appendChild (backups, nullptr);
            root.appendChild (cloud, nullptr);
            details = std::make_unique<PresetDetailsContainer> (&page);
            details->setSize (400, 300);
            details->setVisible (true);   // as when the details panel shows it
            page.addPresetDataChangeListener (details.get());
        }
        ~PresetDetailsTest() override
        {
            details.reset();
            juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
        }

        static DeviceCaps makeCaps (int maxSteps = 5, const juce::String& nameChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 ")
        {
            auto xml = std::make_unique<juce::XmlElement> ("features");
            xml->setAttribute ("numPresets", 10);
            xml->setAttribute ("maxPresetSteps", maxSteps);
            xml->setAttribute ("presetTextLabel", "Preset");
            xml->setAttribute ("stepsTextLabel", "Steps");
            xml->setAttribute ("tagsTextLabel", "Tags");
            xml->setAttribute ("presetNameLength", 15);
            xml->setAttribute ("presetNameChange", "1");
            xml->setAttribute ("presetNameChars", nameChars);
            xml->setAttribute ("presetTagCount", 3);
            xml->setAttribute ("presetTagLabels", "Lead,Harmony,Live");
            return DeviceCaps (nullptr, xml.get(), 0x21, 100, 200);
        }

        juce::ValueTree addNode (juce::ValueTree parent, std::initializer_list<int> filled, const std::map<int, int>& steps = {})
        {
            auto node = createSourceNode (SourceIds::node, "Item");
            DataSet::Ptr set (new DataSet (nullptr, makeGridData (10, filled, {}, steps)));
            node.setProperty (SourceIds::data, juce::var (set.get()), nullptr);
            parent.appendChild (node, nullptr);
            return node;
        }

        void setTags (const juce::ValueTree& node, int slot, int tags)
        {
            auto* p = getSourceNodeWorkingData (node)->getPreset (slot);
            auto info = p->getInfo();
            info.tags = tags;
            ASSERT_TRUE (p->setInfo (info));
        }
    };
}

TEST_F (PresetDetailsTest, ControlsFollowTheCaps)
{
    details->setDeviceCaps (makeCaps());
    EXPECT_EQ (details->getNameLabel().getText(), "Preset Name");
    EXPECT_EQ (details->getStepLabel().getText(), "Steps");
    EXPECT_TRUE (details->getStepLabel().isVisible());
    ASSERT_EQ (details->getNumStepButtons(), 5);
    EXPECT_EQ (details->getStepButton (4)->getStepIndex(), 4);
    EXPECT_EQ (details->getStepButton (0)->getRadioGroupId(), 100);
    ASSERT_EQ (details->getNumTagButtons(), 3);
    EXPECT_EQ (details->getTagButton (1)->getButtonText(), "Harmony");

    // Layout at font height 14: rows 21 high, gaps 15, indented by margin + 15.
    details->updateLayout (400, 300);
    EXPECT_EQ (details->getNameLabel().getBounds(), juce::Rectangle<int> (15, 13, 370, 21));
    EXPECT_EQ (details->getNameEditor().getBounds(), juce::Rectangle<int> (30, 38, 340, 21));
    EXPECT_EQ (details->getStepLabel().getY(), 59 + 15);
    const int side = details->getStepButton (0)->getWidth();
    EXPECT_EQ (side, 28);
    EXPECT_EQ (details->getStepButton (1)->getX(), 30 + 42);
    EXPECT_EQ (details->getStepButton (0)->getY(), 74 + 21 + 4);
    EXPECT_EQ (details->getTagLabel().getY(), 99 + 28 + 15);
    EXPECT_EQ (details->getTagButton (0)->getPosition(), juce::Point<int> (30, 142 + 21));
    EXPECT_EQ (details->getHeight(), 15 + details->getTagButton (2)->getBottom());

    // One step at most: no step row.
    details->setDeviceCaps (makeCaps (1));
    EXPECT_EQ (details->getNumStepButtons(), 0);
    EXPECT_FALSE (details->getStepLabel().isVisible());
}

TEST_F (PresetDetailsTest, NamesOfOneOrSeveralPresets)
{
    auto node = addNode (backups, { 1, 2, 3 });
    details->setDeviceCaps (makeCaps());
    details->setSource (node);
    EXPECT_FALSE (details->getNameEditor().isEnabled());

    details->setSlots ({ 2 });
    EXPECT_EQ (details->getNameEditor().getText(), "P2");
    // Unchanged: nothing renamed.
    details->commitName();
    EXPECT_TRUE (page.calls.empty());
    details->getNameEditor().setText ("Solo", false);
    details->commitName();
    ASSERT_NE (page.last ("rename"), nullptr);
    EXPECT_EQ (page.last ("rename")->slots, juce::Array<int> ({ 2 }));
    EXPECT_EQ (page.last ("rename")->text, "Solo");

    // Different names: the placeholder; leaving it as it is renames nothing.
    page.calls.clear();
    details->setSlots ({ 1, 3 });
    EXPECT_EQ (details->getNameEditor().getText(), "<multiple selected>");
    EXPECT_TRUE (details->getNameEditor().showsMultiple());
    details->commitName();
    EXPECT_TRUE (page.calls.empty());

    // Focusing clears the placeholder; leaving the field without typing renames nothing
    // and shows the placeholder again.
    auto& editor = details->getNameEditor();
    editor.focusGained (juce::Component::focusChangedByMouseClick);
    EXPECT_EQ (editor.getText(), "");
    EXPECT_FALSE (editor.showsMultiple());
    editor.focusLost (juce::Component::focusChangedByMouseClick);
    pumpFor (20);
    EXPECT_TRUE (page.calls.empty());
    EXPECT_EQ (getSourceNodeWorkingData (node)->getPreset (1)->getName(), "P1");
    EXPECT_EQ (editor.getText(), "<multiple selected>");

    // A typed name renames them all, as one undoable step.
    editor.focusGained (juce::Component::focusChangedByMouseClick);
    editor.insertTextAtCaret ("Choir");
    editor.focusLost (juce::Component::focusChangedByMouseClick);
    pumpFor (20);
    ASSERT_EQ (page.ops(), juce::StringArray ("rename"));
    EXPECT_EQ (page.last ("rename")->slots, juce::Array<int> ({ 1, 3 }));
    EXPECT_TRUE (page.last ("rename")->undoable && page.last ("rename")->newTransaction);
    EXPECT_EQ (getSourceNodeWorkingData (node)->getPreset (3)->getName(), "Choir");

    // The same names now: shown as one.
    details->setSlots ({ 1, 3 });
    EXPECT_EQ (details->getNameEditor().getText(), "Choir");

    // Escape restores the name from the data.
    details->getNameEditor().setText ("typo", false);
    details->textEditorEscapeKeyPressed (details->getNameEditor());
    EXPECT_EQ (details->getNameEditor().getText(), "Choir");

    // A preset removed meanwhile empties the shown slots.
    page.deletePresets (node, { 3 }, true, true);
    EXPECT_TRUE (details->getSlots().isEmpty());
    EXPECT_FALSE (details->getNameEditor().isEnabled());
}

TEST_F (PresetDetailsTest, UpperCaseNamesAcceptLowerCaseTyping)
{
    auto node = addNode (backups, { 1 });
    details->setDeviceCaps (makeCaps (5, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "));
    details->setSource (node);
    details->setSlots ({ 1 });

    auto& editor = details->getNameEditor();
    editor.setText ({}, false);
    editor.insertTextAtCaret ("warm pad!");   // '!' is not allowed
    EXPECT_EQ (editor.getText(), "warm pad");
    details->commitName();
    EXPECT_EQ (editor.getText(), "WARM PAD");
    ASSERT_NE (page.last ("rename"), nullptr);
    EXPECT_EQ (page.last ("rename")->text, "WARM PAD");
}

TEST_F (PresetDetailsTest, StepsOfOnePresetCanBeDeletedButNotTheLastOne)
{
    auto node = addNode (backups, { 1, 2 }, { { 1, 3 } });
    details->setDeviceCaps (makeCaps());
    details->setSource (node);
    details->setSlots ({ 1 });

    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ (details->getStepButton (i)->hasStep(), i < 3) << i;
        EXPECT_EQ (details->getStepButton (i)->isEnabled(), i < 3) << i;
    }

    // Nothing toggled: nothing deleted.
    EXPECT_FALSE (details->keyPressed (juce::KeyPress (juce::KeyPress::deleteKey)));
    EXPECT_TRUE (page.calls.empty());

    const auto step2 = getSourceNodeWorkingData (node)->getPreset (1)->getStepData (2);
    details->getStepButton (1)->setToggleState (true, juce::dontSendNotification);
    EXPECT_TRUE (details->keyPressed (juce::KeyPress (juce::KeyPress::deleteKey)));
    ASSERT_NE (page.last ("paste"), nullptr);
    EXPECT_EQ (page.last ("paste")->slots, juce::Array<int> ({ 1 }));
    auto* p = getSourceNodeWorkingData (node)->getPreset (1);
    EXPECT_EQ (p->getStepCount(), 2);
    EXPECT_EQ (p->getStepData (1), step2);   // the step after the deleted one moved up
    EXPECT_FALSE (details->getStepButton (1)->getToggleState());
    EXPECT_FALSE (details->getStepButton (2)->hasStep());

    // Step buttons form one radio group: selecting one deselects the other.
    details->getStepButton (0)->setToggleState (true, juce::dontSendNotification);
    details->getStepButton (1)->setToggleState (true, juce::dontSendNotification);
    EXPECT_FALSE (details->getStepButton (0)->getToggleState());
    page.calls.clear();

    // A preset of one step keeps it.
    details->setSlots ({ 2 });
    details->getStepButton (0)->setToggleState (true, juce::dontSendNotification);
    EXPECT_FALSE (details->keyPressed (juce::KeyPress (juce::KeyPress::deleteKey)));
    EXPECT_TRUE (page.calls.empty());

    // Several presets show no steps.
    details->setSlots ({ 1, 2 });
    EXPECT_FALSE (details->getStepButton (0)->isEnabled());
}

TEST_F (PresetDetailsTest, DroppingStepsOntoAnotherPosition)
{
    auto node = addNode (backups, { 1 }, { { 1, 4 } });
    details->setDeviceCaps (makeCaps());
    details->setSource (node);
    details->setSlots ({ 1 });
    details->updateLayout (400, 300);

    EXPECT_TRUE (details->isInterestedInDragSource ({ "Step", details->getStepButton (0), {} }));
    EXPECT_FALSE (details->isInterestedInDragSource ({ "1: P1", details->getStepButton (0), {} }));

    details->getStepButton (0)->setToggleState (true, juce::dontSendNotification);
    auto* dragged = details->getStepButton (0);
    // Dropped on itself: nothing.
    details->itemDropped ({ "Step", dragged, dragged->getBounds().getCentre() });
    EXPECT_TRUE (page.calls.empty());

    details->itemDropped ({ "Step", dragged, details->getStepButton (3)->getBounds().getCentre() });
    ASSERT_NE (page.last ("insertSteps"), nullptr);
    EXPECT_EQ (page.last ("insertSteps")->a, 3);
    EXPECT_EQ (page.last ("insertSteps")->otherSlots, juce::Array<int> ({ 0 }));
    EXPECT_EQ (page.last ("insertSteps")->slots, juce::Array<int> ({ 1 }));
}

TEST_F (PresetDetailsTest, TagsOfTheSelection)
{
    auto node = addNode (backups, { 1, 2 });
    setTags (node, 1, 0x1 | 0x2);
    setTags (node, 2, 0x2 | 0x4);
    details->setDeviceCaps (makeCaps());
    details->setSource (node);

    details->setSlots ({ 1, 2 });
    EXPECT_TRUE (details->getTagButton (0)->getToggleState());
    EXPECT_TRUE (details->isTagPartlySet (0));
    EXPECT_TRUE (details->getTagButton (1)->getToggleState());
    EXPECT_FALSE (details->isTagPartlySet (1));
    EXPECT_TRUE (details->isTagPartlySet (2));
    EXPECT_NE (details->getTagButton (0)->findColour (juce::ToggleButton::textColourId),
               details->getTagButton (1)->findColour (juce::ToggleButton::textColourId));

    details->getTagButton (1)->setToggleState (false, juce::dontSendNotification);
    details->buttonClicked (details->getTagButton (1));
    ASSERT_NE (page.last ("tag"), nullptr);
    EXPECT_EQ (page.last ("tag")->a, 1);
    EXPECT_EQ (page.last ("tag")->b, 0);
    EXPECT_EQ (page.last ("tag")->slots, juce::Array<int> ({ 1, 2 }));

    // A read-only source: tags and steps stay disabled, and clicks change nothing.
    page.calls.clear();
    auto pack = addNode (cloud, { 1 }, { { 1, 3 } });
    details->setSource (pack);
    details->setSlots ({ 1 });
    EXPECT_TRUE (details->isReadOnly());
    EXPECT_FALSE (details->getTagButton (0)->isEnabled());
    EXPECT_FALSE (details->getStepButton (0)->isEnabled());
    details->buttonClicked (details->getTagButton (0));
    details->getNameEditor().setText ("Mine", false);
    details->commitName();
    EXPECT_TRUE (page.calls.empty());
}

TEST_F (PresetDetailsTest, DetailsPanelShowsThePresetDetails)
{
    DetailsPanel panel (&page);
    panel.setSize (400, 300);
    auto node = addNode (backups, { 1 });
    panel.getPresetDetails().setDeviceCaps (makeCaps());
    panel.showDetails (DetailsPanel::presetDetails, node);
    EXPECT_EQ (panel.getShownContainer(), &panel.getPresetDetails());
    panel.getPresetDetails().setSlots ({ 1 });
    EXPECT_EQ (panel.getPresetDetails().getNameEditor().getText(), "P1");
    EXPECT_TRUE (page.presetListeners.contains (&panel.getPresetDetails()));
}
