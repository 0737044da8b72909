#include "ui/datapage/PresetDetailsContainer.h"
#include "archive/DataSourceTree.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

namespace
{
    float lafFontHeight (juce::Component& c)
    {
        if (auto* laf = dynamic_cast<LSLookAndFeel*> (&c.getLookAndFeel()))
            return laf->getFontHeightA();
        return 14.0f;
    }
}

PresetDetailsContainer::PresetDetailsContainer (DataPageHost* owner)
    : page (owner)
{
    addAndMakeVisible (nameLabel);
    nameEditor.addListener (this);
    nameEditor.setEnabled (false);
    addAndMakeVisible (nameEditor);
    addChildComponent (stepLabel);
    addChildComponent (tagLabel);
}

PresetDetailsContainer::~PresetDetailsContainer()
{
    nameEditor.removeListener (this);
}

DeviceData* PresetDetailsContainer::getWorkingData() const
{
    return getSourceNodeWorkingData (source);
}

void PresetDetailsContainer::setDeviceCaps (const DeviceCaps& newCaps)
{
    caps = newCaps;
    stepButtons.clear();
    tagButtons.clear();
    partlySetTags.clear();
    widestTag = 0;
    upperCaseNames = false;

    if (caps.getNumPresets() > 0 || caps.isBuildValid())
    {
        nameLabel.setText (caps.getPresetTextLabel() + " Name", juce::dontSendNotification);

        auto allowed = caps.getPresetNameChars();
        if (allowed.containsChar ('A') && ! allowed.containsChar ('a'))
        {
            allowed << "abcdefghijklmnopqrstuvwxyz";
            upperCaseNames = true;
        }
        nameEditor.setInputRestrictions (caps.getPresetNameLength(), allowed);
        nameEditor.setReadOnly (! caps.canChangePresetName());

        if (caps.getMaxPresetSteps() < 2)
        {
            stepLabel.setVisible (false);
        }
        else
        {
            stepLabel.setText (caps.getStepsTextLabel(), juce::dontSendNotification);
            stepLabel.setVisible (true);
            for (int i = 0; i < caps.getMaxPresetSteps(); ++i)
            {
                auto* b = stepButtons.add (new StepButton (i));
                b->addMouseListener (this, false);
                b->addListener (this);
                addAndMakeVisible (b);
            }
        }

        if (caps.getPresetTagCount() == 0)
        {
            tagLabel.setVisible (false);
        }
        else
        {
            tagLabel.setText (caps.getTagsTextLabel(), juce::dontSendNotification);
            tagLabel.setVisible (true);
            const juce::Font font (lafFontHeight (*this));
            for (int i = 0; i < caps.getPresetTagCount(); ++i)
            {
                const auto text = caps.getPresetTagLabels()[i];
                auto* b = tagButtons.add (new juce::ToggleButton (text));
                b->setSize (juce::roundToInt (font.getStringWidthFloat (text)), juce::roundToInt (font.getHeight() * 1.4f));
                b->setColour (juce::ToggleButton::textColourId, paletteColour087);
                b->addListener (this);
                addAndMakeVisible (b);
                partlySetTags.add (false);
                widestTag = juce::jmax (widestTag, b->getWidth());
            }
        }
    }

    updateLayout (getWidth(), getPreferredHeight());
}

void PresetDetailsContainer::setSource (const juce::ValueTree& node)
{
    slots.clear();
    readOnly = isReadOnlySourceNode (node);
    PanelContainerBase::setSource (node);
}

void PresetDetailsContainer::setSlots (const juce::Array<int>& newSlots)
{
    slots = newSlots;
    if (isVisible())
        updateFromSource();
}

void PresetDetailsContainer::updateFromSource()
{
    refreshName();
    refreshSteps (true);
    refreshTags();
    updateLayout (getWidth(), getPreferredHeight());
}

void PresetDetailsContainer::presetDataChanged (const juce::ValueTree& node, const juce::Array<int>&)
{
    if (node != source || ! node.isValid())
        return;

    auto* data = getWorkingData();
    for (int slot : slots)
        if (data == nullptr || ! data->hasPreset (slot))
        {
            slots.clear();
            break;
        }

    refreshName();
    refreshSteps (false);
    refreshTags();
}

//==============================================================================
void PresetDetailsContainer::refreshName()
{
    auto* data = getWorkingData();
    if (data == nullptr || slots.isEmpty())
    {
        nameEditor.setShowsMultiple (false);
        nameEditor.setText ({}, false);
        nameEditor.setEnabled (false);
        return;
    }

    juce::StringArray names;
    for (int slot : slots)
        if (auto* p = data->getPreset (slot))
            names.addIfNotAlreadyThere (p->getName());

    nameEditor.setEnabled (true);
    if (names.size() > 1)
    {
        nameEditor.setColour (juce::TextEditor::textColourId, paletteColour084);
        nameEditor.setText (PresetNameEditor::multiplePlaceholder, false);
        nameEditor.setShowsMultiple (true);
    }
    else
    {
        nameEditor.setColour (juce::TextEditor::textColourId, paletteColour083);
        nameEditor.setText (names[0], false);
        nameEditor.setShowsMultiple (false);
    }
    nameEditor.applyColourToAllText (nameEditor.findColour (juce::TextEditor::textColourId));
}

void PresetDetailsContainer::commitName()
{
    auto* data = getWorkingData();
    if (data == nullptr || slots.isEmpty() || page == nullptr || readOnly || nameEditor.isReadOnly())
        return;

    // Focusing the field and leaving it without typing renames none of several presets.
    if (slots.size() > 1 && nameEditor.holdsNoNewName())
    {
        refreshName();
        return;
    }

    auto text = nameEditor.getText();

    if (upperCaseNames)
    {
        text = text.toUpperCase();
        nameEditor.setText (text, false);
    }

    if (slots.size() == 1)
    {
        auto* p = data->getPreset (slots.getFirst());
        if (p == nullptr || p->getName() == text)
            return;
    }

    page->renamePresets (source, slots, text, true, true);
}

void PresetDetailsContainer::beginNameEdit()
{
    if (slots.isEmpty() || nameEditor.isReadOnly() || ! nameEditor.isVisible() || ! nameEditor.isEnabled())
        return;
    nameEditor.selectAll();
    nameEditor.grabKeyboardFocus();
}

void PresetDetailsContainer::textEditorReturnKeyPressed (juce::TextEditor&)
{
    // Taking the focus away commits, as for any other way of leaving the field.
    if (nameEditor.hasKeyboardFocus (false))
        nameEditor.giveAwayKeyboardFocus();
    else
        commitName();
}

void PresetDetailsContainer::textEditorEscapeKeyPressed (juce::TextEditor&)
{
    refreshName();
}

void PresetDetailsContainer::textEditorFocusLost (juce::TextEditor&)
{
    commitName();
}

//==============================================================================
void PresetDetailsContainer::refreshSteps (bool untoggle)
{
    for (auto* b : stepButtons)
    {
        b->setEnabled (false);
        b->setHasStep (false);
        if (untoggle)
            b->setToggleState (false, juce::dontSendNotification);
    }

    auto* data = getWorkingData();
    if (data == nullptr || slots.size() != 1)
        return;

    auto* p = data->getPreset (slots.getFirst());
    const int s = p != nullptr ? p->getStepCount() : 0;
    for (auto* b : stepButtons)
    {
        const bool present = b->getStepIndex() < s && ! readOnly;
        b->setEnabled (present);
        b->setHasStep (present);
    }
}

juce::Array<int> PresetDetailsContainer::getToggledSteps() const
{
    juce::Array<int> steps;
    for (auto* b : stepButtons)
        if (b->getToggleState())
            steps.add (b->getStepIndex());
    return steps;
}

void PresetDetailsContainer::refreshTags()
{
    auto* data = getWorkingData();
    if (data == nullptr || slots.isEmpty())
    {
        for (int i = 0; i < tagButtons.size(); ++i)
        {
            tagButtons.getUnchecked (i)->setToggleState (false, juce::dontSendNotification);
            tagButtons.getUnchecked (i)->setEnabled (false);
            partlySetTags.set (i, false);
        }
        return;
    }

    for (int i = 0; i < tagButtons.size(); ++i)
    {
        int count = 0, presets = 0;
        for (int slot : slots)
            if (auto* p = data->getPreset (slot))
            {
                ++presets;
                if (i < 32 && (static_cast<juce::uint32> (p->getInfo().tags) & (1u << i)) != 0)
                    ++count;
            }

        auto* b = tagButtons.getUnchecked (i);
        b->setEnabled (! readOnly);
        b->setToggleState (count > 0, juce::dontSendNotification);
        const bool partly = count > 0 && count < presets;
        partlySetTags.set (i, partly);
        b->setColour (juce::ToggleButton::textColourId, partly ? paletteColour088 : paletteColour087);
    }
}

void PresetDetailsContainer::buttonClicked (juce::Button* b)
{
    const int tag = tagButtons.indexOf (dynamic_cast<juce::ToggleButton*> (b));
    if (tag < 0 || readOnly || page == nullptr || slots.isEmpty())
        return;

    page->setPresetTag (source, slots, tag, b->getToggleState(), true, true);
}

//==============================================================================
bool PresetDetailsContainer::keyPressed (const juce::KeyPress& key)
{
    if (! (key.isKeyCode (juce::KeyPress::deleteKey) || key.isKeyCode (juce::KeyPress::backspaceKey)))
        return false;

    auto* data = getWorkingData();
    if (data == nullptr || readOnly || slots.size() != 1 || page == nullptr)
        return false;

    const int slot = slots.getFirst();
    auto* p = data->getPreset (slot);
    if (p == nullptr || p->getStepCount() < 2)
        return false;

    const auto toggled = getToggledSteps();
    if (toggled.isEmpty())
        return false;

    juce::SparseSet<int> steps;
    for (int s : toggled)
        steps.addRange ({ s, s + 1 });

    auto copy = data->createCopy ({ slot }, false, false);
    if (copy == nullptr || copy->getPreset (slot) == nullptr)
        return false;

    // Never every step: a preset keeps at least one.
    if (steps.size() >= p->getStepCount())
        return false;

    copy->getPreset (slot)->removeSteps (steps);
    page->pastePresets (source, { slot }, *copy, true, true);

    for (auto* b : stepButtons)
        b->setToggleState (false, juce::dontSendNotification);
    return true;
}

void PresetDetailsContainer::mouseDrag (const juce::MouseEvent& e)
{
    auto* pressed = dynamic_cast<StepButton*> (e.eventComponent);
    auto* container = juce::DragAndDropContainer::findParentDragContainerFor (this);
    if (pressed == nullptr || ! pressed->hasStep() || ! pressed->isEnabled() || ! e.mods.isLeftButtonDown()
        || container == nullptr || container->isDragAndDropActive())
        return;

    auto steps = getToggledSteps();
    steps.addIfNotAlreadyThere (pressed->getStepIndex());

    juce::ScaledImage image;
    if (steps.size() > 1)
    {
        const auto snapshot = pressed->createComponentSnapshot (pressed->getLocalBounds());
        const int n = juce::jmin (10, steps.size());
        juce::Image stacked (juce::Image::ARGB, snapshot.getWidth() + 5 * (n - 1), snapshot.getHeight() + 3 * (n - 1), true);
        juce::Graphics g (stacked);
        for (int i = 0; i < n; ++i)
            g.drawImageAt (snapshot, 5 * i, 3 * i);
        image = juce::ScaledImage (stacked);
    }

    pressed->setToggleState (true, juce::dontSendNotification);
    container->startDragging (pressed->getButtonText(), pressed, image);
    beginDragAutoRepeat (40);
}

bool PresetDetailsContainer::isInterestedInDragSource (const SourceDetails& details)
{
    return ! stepButtons.isEmpty() && details.description.toString() == stepButtons.getFirst()->getButtonText();
}

void PresetDetailsContainer::itemDropped (const SourceDetails& details)
{
    if (slots.size() != 1 || page == nullptr)
        return;

    auto* target = dynamic_cast<StepButton*> (getComponentAt (details.localPosition));
    auto* dragged = dynamic_cast<StepButton*> (details.sourceComponent.get());
    if (target == nullptr || target == dragged)
        return;

    const auto steps = getToggledSteps();
    if (! steps.isEmpty())
        page->insertPresetSteps (source, slots.getFirst(), target->getStepIndex(), steps, true, true);
}

//==============================================================================
void PresetDetailsContainer::updateLayout (int W, int H)
{
    const float f = lafFontHeight (*this);
    const int mx = marginX, my = marginY;
    const int r = (int) (f * 1.5f);
    const int g = (int) (f * 1.1f);
    const int indent = mx + 15;

    nameLabel.setBounds (mx, my - 2, W - 2 * mx, r);
    nameEditor.setBounds (indent, nameLabel.getBottom() + 4, W - 2 * indent, r);
    nameEditor.setReadOnly (! caps.canChangePresetName() || readOnly);
    int bottom = nameEditor.getBottom();

    if (stepLabel.isVisible())
    {
        stepLabel.setBounds (mx, bottom + g, W - 2 * mx, r);
        bottom = stepLabel.getBottom();
        if (auto* first = stepButtons.getFirst())
        {
            const float step = (float) first->getWidth() * 1.5f;
            for (int i = 0; i < stepButtons.size(); ++i)
                stepButtons.getUnchecked (i)->setTopLeftPosition (indent + (int) (step * (float) i), stepLabel.getBottom() + 4);
            bottom = stepButtons.getFirst()->getBottom();
        }
    }

    if (tagLabel.isVisible() && ! tagButtons.isEmpty())
    {
        const int t = juce::roundToInt (f * 1.4f);
        auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel());
        const int extra = laf != nullptr ? juce::roundToInt ((float) tagButtons.getFirst()->getHeight() * 15.0f / 26.0f
                                                             + 10.0f * laf->getScale())
                                         : 20;
        const int c = widestTag + 5 + extra;
        const int area = juce::jmax (W - 2 * indent, c);
        tagLabel.setBounds (mx, bottom + g, area, r);
        const int columns = juce::jmax (1, area / c);
        const int spacing = columns >= 2 ? (area - columns * c) / (columns - 1) : 0;

        for (int k = 0; k < tagButtons.size(); ++k)
        {
            const int column = k % columns, row = k / columns;
            tagButtons.getUnchecked (k)->setBounds (indent + column * (c + spacing), tagLabel.getBottom() + row * (t + 4), c, t);
        }
        bottom = tagButtons.getLast()->getBottom();
    }

    setPreferredHeight (H);
    setSize (W, my + bottom);
}
