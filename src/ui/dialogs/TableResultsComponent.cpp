#include "ui/dialogs/TableResultsComponent.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

TableResultsComponent::TableResultsComponent (SearchEngine& e)
    : juce::TableListBox ("SearchTable", nullptr), engine (e)
{
    setModel (this);
    setMultipleSelectionEnabled (false);
    setColour (juce::ListBox::outlineColourId, paletteColour113);
    setOutlineThickness (1);

    const int flags = juce::TableHeaderComponent::visible | juce::TableHeaderComponent::resizable
                    | juce::TableHeaderComponent::sortable;
    auto& header = getHeader();
    header.addColumn ("Rank", rankColumn, 60, 30, -1, flags);
    header.addColumn ("Preset #", numberColumn, 70, 40, -1, flags);
    header.addColumn ("Name", nameColumn, 200, 60, -1, flags);
    header.addColumn ("Location", locationColumn, 260, 60, -1, flags);
    header.setStretchToFitActive (true);
    showNewResults();
}

TableResultsComponent::~TableResultsComponent()
{
    setModel (nullptr);
}

const SearchResult* TableResultsComponent::getResult (int row) const
{
    auto& results = engine.getResults();
    return juce::isPositiveAndBelow (row, results.size()) ? &results.getReference (row) : nullptr;
}

void TableResultsComponent::showNewResults()
{
    // Deselect first: no stale hit may be shown while the rows change.
    deselectAllRows();
    // The header tells its listeners later; the engine's order is already this one.
    getHeader().setSortColumnId (engine.getSortColumn(), engine.getSortDirection() >= 0);
    updateContent();
    repaint();
}

juce::String TableResultsComponent::getCellText (const SearchResult& result, int columnId)
{
    switch (columnId)
    {
        case numberColumn:   return result.number == 0 ? juce::String (packText) : juce::String (result.number);
        case nameColumn:     return result.name;
        case locationColumn: return result.location;
        default:             return {};
    }
}

juce::Rectangle<int> TableResultsComponent::getRankBarArea (juce::Rectangle<int> cell, float score)
{
    auto track = cell.reduced (4, juce::jmax (2, cell.getHeight() / 4));
    const auto fraction = juce::jlimit (0.0f, 1.0f, score);
    return track.withWidth (juce::roundToInt ((float) track.getWidth() * fraction));
}

juce::Font TableResultsComponent::getCellFont() const
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return juce::Font (laf->getFontHeightC());
    return juce::Font (13.0f);
}

int TableResultsComponent::getNumRows()
{
    return engine.getResults().size();
}

void TableResultsComponent::paintRowBackground (juce::Graphics& g, int rowNumber, int, int, bool rowIsSelected)
{
    if (rowIsSelected)
        g.fillAll (paletteColour009);
    else if (rowNumber % 2 != 0)
        g.fillAll (paletteColour080);
    else
        g.fillAll (juce::Colours::white);
}

void TableResultsComponent::paintCell (juce::Graphics& g, int rowNumber, int columnId, int width, int height, bool)
{
    auto* result = getResult (rowNumber);
    if (result == nullptr)
        return;

    const juce::Rectangle<int> cell (0, 0, width, height);
    if (columnId == rankColumn)
    {
        const auto track = getRankBarArea (cell, 1.0f);
        g.setColour (paletteColour113.withAlpha (0.15f));
        g.fillRect (track);
        g.setColour (paletteColour113);
        g.fillRect (getRankBarArea (cell, result->score));
        return;
    }

    g.setColour (juce::Colours::black);
    g.setFont (getCellFont());
    g.drawFittedText (getCellText (*result, columnId), cell.reduced (4, 0), juce::Justification::centredLeft, 1);
}

void TableResultsComponent::cellDoubleClicked (int rowNumber, int, const juce::MouseEvent&)
{
    auto* result = getResult (rowNumber);
    if (result == nullptr || listener == nullptr)
        return;

    const auto chosen = *result;
    listener->showResult (chosen);
    listener->resultsFinished();
}

void TableResultsComponent::sortOrderChanged (int newSortColumnId, bool isForwards)
{
    const int direction = isForwards ? 1 : -1;
    if (newSortColumnId == engine.getSortColumn() && direction == engine.getSortDirection())
        return;

    // The selected hit stays selected in its new row.
    const auto* selected = getResult (getSelectedRow());
    const auto keep = selected != nullptr ? *selected : SearchResult();
    const bool hadSelection = selected != nullptr;

    engine.createComparerForColumn (newSortColumnId, direction);

    int newRow = -1;
    if (hadSelection)
    {
        auto& results = engine.getResults();
        for (int i = 0; i < results.size(); ++i)
        {
            auto& r = results.getReference (i);
            if (r.source == keep.source && r.number == keep.number && r.name == keep.name)
            {
                newRow = i;
                break;
            }
        }
    }

    updateContent();
    if (newRow >= 0)
    {
        selectRow (newRow);
    }
    repaint();
}

void TableResultsComponent::selectedRowsChanged (int lastRowSelected)
{
    if (auto* result = getResult (lastRowSelected))
        if (listener != nullptr)
            listener->showResult (*result);
}

void TableResultsComponent::returnKeyPressed (int)
{
    if (listener != nullptr)
        listener->resultsFinished();
}

void TableResultsComponent::focusGained (FocusChangeType cause)
{
    juce::TableListBox::focusGained (cause);
    // A click selects its own row; otherwise start at the best hit.
    if (cause != focusChangedByMouseClick && getNumRows() > 0 && getNumSelectedRows() == 0)
        selectRow (0);
}
