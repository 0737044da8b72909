#pragma once

#include "model/DeviceCaps.h"
#include "ui/datapage/DataPageHost.h"
#include "ui/datapage/PanelContainerBase.h"
#include "ui/datapage/PresetNameEditor.h"
#include "ui/datapage/StepButton.h"

// Details of the presets selected in the grid: their name, their tags and, for one
// preset, its steps (select, drag to another position, delete). Every change goes
// through the page's edit operations.
class PresetDetailsContainer : public PanelContainerBase,
                               public juce::DragAndDropTarget,
                               public juce::TextEditor::Listener,
                               public juce::Button::Listener
{
public:
    explicit PresetDetailsContainer (DataPageHost* page);
    ~PresetDetailsContainer() override;

    void setDeviceCaps (const DeviceCaps& caps);
    void setSource (const juce::ValueTree& node) override;
    void updateFromSource() override;
    void updateLayout (int width, int height) override;
    void presetDataChanged (const juce::ValueTree& node, const juce::Array<int>& slots) override;

    void setSlots (const juce::Array<int>& slots);
    const juce::Array<int>& getSlots() const noexcept { return slots; }
    void beginNameEdit();
    bool isReadOnly() const noexcept { return readOnly; }

    PresetNameEditor& getNameEditor() noexcept { return nameEditor; }
    juce::Label& getNameLabel() noexcept { return nameLabel; }
    juce::Label& getStepLabel() noexcept { return stepLabel; }
    juce::Label& getTagLabel() noexcept { return tagLabel; }
    int getNumStepButtons() const noexcept { return stepButtons.size(); }
    StepButton* getStepButton (int i) const { return stepButtons[i]; }
    int getNumTagButtons() const noexcept { return tagButtons.size(); }
    juce::ToggleButton* getTagButton (int i) const { return tagButtons[i]; }
    // A tag set on only some of the shown presets.
    bool isTagPartlySet (int i) const { return partlySetTags[i]; }

    // Commits the name field as when it loses the focus.
    void commitName();

    // Callbacks.
    void textEditorReturnKeyPressed (juce::TextEditor&) override;
    void textEditorEscapeKeyPressed (juce::TextEditor&) override;
    void textEditorFocusLost (juce::TextEditor&) override;
    void buttonClicked (juce::Button*) override;
    using PanelContainerBase::keyPressed;
    bool keyPressed (const juce::KeyPress&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    bool isInterestedInDragSource (const SourceDetails&) override;
    void itemDropped (const SourceDetails&) override;

private:
    DeviceData* getWorkingData() const;
    void refreshName();
    void refreshSteps (bool untoggle);
    void refreshTags();
    juce::Array<int> getToggledSteps() const;

    DataPageHost* page;
    DeviceCaps caps;
    juce::Array<int> slots;
    bool readOnly = true;
    juce::Label nameLabel;
    PresetNameEditor nameEditor;
    juce::Label stepLabel;
    juce::OwnedArray<StepButton> stepButtons;
    juce::Label tagLabel;
    juce::OwnedArray<juce::ToggleButton> tagButtons;
    juce::Array<bool> partlySetTags;
    int widestTag = 0;
    bool upperCaseNames = false;
};
