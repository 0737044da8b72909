#pragma once

#include "ui/datapage/DataPageHost.h"
#include "ui/datapage/PanelContainerBase.h"

// Details of one archive item or cloud item: its title, author, date, description
// and icon. Title and description can be edited on backups and in upload folders.
class DataSetDetailsContainer : public PanelContainerBase,
                                public juce::TextEditor::Listener
{
public:
    static constexpr int maxTitleLength = 128;

    explicit DataSetDetailsContainer (DataPageHost* page);
    ~DataSetDetailsContainer() override;

    void updateFromSource() override;
    void clearSource() override;
    void updateLayout (int width, int height) override;
    void archiveChanged (const juce::ValueTree& node, const juce::Identifier& property) override;

    void textEditorReturnKeyPressed (juce::TextEditor&) override;
    void textEditorFocusLost (juce::TextEditor&) override;

    bool isReadOnly() const noexcept { return readOnly; }
    juce::TextEditor& getTitleEditor() noexcept { return titleEditor; }
    juce::TextEditor& getDescriptionEditor() noexcept { return descriptionEditor; }
    juce::Label& getNameCaption() noexcept { return nameCaption; }
    juce::Label& getAuthorCaption() noexcept { return authorCaption; }
    juce::Label& getDateCaption() noexcept { return dateCaption; }
    juce::Rectangle<float> getIconArea() const noexcept { return iconArea; }

    void paintOverChildren (juce::Graphics&) override;

private:
    void commit (juce::TextEditor&);

    DataPageHost* page;
    juce::Label nameCaption, authorCaption, dateCaption, authorValue, dateValue;
    juce::TextEditor titleEditor, descriptionEditor;
    std::unique_ptr<juce::Drawable> icon;
    float iconAspect = 1.0f;
    juce::Rectangle<float> iconArea;
    bool readOnly = true;
};
