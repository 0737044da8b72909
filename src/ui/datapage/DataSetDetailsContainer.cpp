#include "ui/datapage/DataSetDetailsContainer.h"
#include "archive/DataSourceTree.h"
#include "ui/LSLookAndFeel.h"

DataSetDetailsContainer::DataSetDetailsContainer (DataPageHost* owner)
    : page (owner),
      nameCaption ({}, "Name:"), authorCaption ({}, "Author:"), dateCaption ({}, "Date:")
{
    for (auto* l : { &nameCaption, &authorCaption, &dateCaption, &authorValue, &dateValue })
        addAndMakeVisible (l);

    titleEditor.setInputRestrictions (maxTitleLength);
    titleEditor.addListener (this);
    addAndMakeVisible (titleEditor);

    descriptionEditor.setMultiLine (true, true);
    descriptionEditor.setReturnKeyStartsNewLine (true);
    descriptionEditor.setTextToShowWhenEmpty ("<Add a description here>", juce::Colours::grey);
    descriptionEditor.addListener (this);
    addAndMakeVisible (descriptionEditor);
}

DataSetDetailsContainer::~DataSetDetailsContainer()
{
    titleEditor.removeListener (this);
    descriptionEditor.removeListener (this);
}

void DataSetDetailsContainer::updateFromSource()
{
    juce::String category, subCategory;
    getSourceNodeCategory (source, category, subCategory);
    readOnly = category == SourceCategories::device || isReadOnlySourceNode (source);

    titleEditor.setText (source[SourceIds::label].toString(), false);
    titleEditor.setReadOnly (readOnly);
    descriptionEditor.setReadOnly (readOnly);

    auto* archive = getSourceNodeArchive (source);
    authorValue.setText (archive != nullptr ? archive->getAuthorName() : juce::String(), juce::dontSendNotification);
    dateValue.setText (archive != nullptr ? archive->getDateText() : juce::String(), juce::dontSendNotification);
    descriptionEditor.setText (archive != nullptr ? archive->getDescription() : juce::String(), false);

    icon = source.isValid() ? createSourceNodeIcon (source) : nullptr;
    iconAspect = 1.0f;
    if (icon != nullptr)
    {
        const auto b = icon->getDrawableBounds();
        if (b.getHeight() > 0.0f)
            iconAspect = b.getWidth() / b.getHeight();
    }
    repaint();
}

void DataSetDetailsContainer::commit (juce::TextEditor& editor)
{
    if (readOnly || ! source.isValid())
        return;

    if (&editor == &titleEditor)
    {
        if (titleEditor.getText() != source[SourceIds::label].toString() && page != nullptr)
            page->setArchiveItemTitle (source, titleEditor.getText(), true, true);
    }
    else if (&editor == &descriptionEditor)
    {
        auto* archive = getSourceNodeArchive (source);
        if (archive != nullptr && archive->getDescription() != descriptionEditor.getText())
            archive->setDescription (descriptionEditor.getText());   // marks it modified, drops its checksum
    }
}

void DataSetDetailsContainer::clearSource()
{
    commit (titleEditor);
    commit (descriptionEditor);
    PanelContainerBase::clearSource();
}

void DataSetDetailsContainer::textEditorReturnKeyPressed (juce::TextEditor& editor)
{
    commit (editor);
}

void DataSetDetailsContainer::textEditorFocusLost (juce::TextEditor& editor)
{
    commit (editor);
}

void DataSetDetailsContainer::archiveChanged (const juce::ValueTree& node, const juce::Identifier& property)
{
    if (node == source && property == SourceIds::label)
        titleEditor.setText (source[SourceIds::label].toString(), false);
}

void DataSetDetailsContainer::updateLayout (int w, int h)
{
    const float s = getUiScale();
    auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel());
    const juce::Font font (laf != nullptr ? laf->getFontHeightA() : 14.0f);
    for (auto* l : { &nameCaption, &authorCaption, &dateCaption, &authorValue, &dateValue })
        l->setFont (font);
    titleEditor.setFont (font);
    titleEditor.applyFontToAllText (font);

    const int g = juce::roundToInt (15.0f * s);
    const int g3 = juce::roundToInt (3.0f * s);
    const int g8 = juce::roundToInt (8.0f * s);
    const int rowH = (int) std::ceil (titleEditor.getFont().getHeight() + 6.0f * s);

    int cw = 0;
    for (auto* l : { &nameCaption, &authorCaption, &dateCaption })
        cw = juce::jmax (cw, juce::roundToInt (l->getFont().getStringWidthFloat (l->getText())));
    cw += 2;

    const float iconHeight = 100.0f * s;
    const float iconWidth = iconHeight * iconAspect;
    iconArea = { (float) (g + 5), (float) g, iconWidth, iconHeight };

    const bool showRows = 4 * cw + iconWidth <= (float) w;
    for (juce::Component* c : { (juce::Component*) &nameCaption, (juce::Component*) &authorCaption,
                                (juce::Component*) &dateCaption, (juce::Component*) &authorValue,
                                (juce::Component*) &dateValue, (juce::Component*) &titleEditor })
        c->setVisible (showRows);

    const int x0 = (int) ((float) (g + 5) + iconWidth) + g;
    const int y0 = juce::jmax (0, (int) ((float) g + 50.0f * s) - (3 * rowH + 2 * g8) / 2);

    juce::Rectangle<int> caption (x0, y0, cw, rowH);
    const int fieldX = x0 + cw + g3;
    juce::Rectangle<int> field (fieldX, y0, w - fieldX - 15, rowH);

    nameCaption.setBounds (caption);
    titleEditor.setBounds (field);
    caption.translate (0, rowH + g8);
    field.translate (0, rowH + g8);
    authorCaption.setBounds (caption);
    authorValue.setBounds (field);
    caption.translate (0, rowH + g8);
    field.translate (0, rowH + g8);
    dateCaption.setBounds (caption);
    dateValue.setBounds (field);

    const int descriptionY = juce::jmax (dateCaption.getBottom(), (int) ((float) g + 100.0f * s)) + g8 + 2;
    descriptionEditor.setBounds (g, descriptionY, w - 2 * g, juce::roundToInt (120.0f * s));

    setPreferredHeight (h);
    setSize (w, descriptionEditor.getBottom() + g);
}

void DataSetDetailsContainer::paintOverChildren (juce::Graphics& g)
{
    if (icon != nullptr)
        icon->drawWithin (g, iconArea, juce::RectanglePlacement::centred, 1.0f);
}
