#pragma once

#include "ui/dialogs/SearchEngine.h"
#include <juce_gui_basics/juce_gui_basics.h>

// The hits of the Find Preset dialog in a table with the columns Rank (the score,
// drawn as a bar), "Preset #", "Name" and "Location". A click on a header sorts by
// that column; selecting a row shows its hit; a double-click shows the hit and
// finishes the search, and so does Return.
class TableResultsComponent : public juce::TableListBox,
                              private juce::TableListBoxModel
{
public:
    enum ColumnIds
    {
        rankColumn = 1,
        numberColumn = 2,
        nameColumn = 3,
        locationColumn = 4
    };

    class Listener
    {
    public:
        virtual ~Listener() = default;
        // A row was selected or double-clicked: show its hit.
        virtual void showResult (const SearchResult& result) = 0;
        // A double-click or Return: the user is done with the search.
        virtual void resultsFinished() = 0;
    };

    explicit TableResultsComponent (SearchEngine& engine);
    ~TableResultsComponent() override;

    void setListener (Listener* l) noexcept { listener = l; }

    // After the engine's results were replaced: no row selected, the header shows
    // the rank sort, highest first (the engine's order for new results).
    void showNewResults();

    // The text of a cell; the rank column has none.
    static juce::String getCellText (const SearchResult& result, int columnId);
    static constexpr const char* packText = "[Pack]";

    // The part of a rank cell the score's bar fills.
    static juce::Rectangle<int> getRankBarArea (juce::Rectangle<int> cell, float score);

    const SearchResult* getResult (int row) const;

    void focusGained (FocusChangeType cause) override;

private:
    // TableListBoxModel: the table asks its model (getModel()) for rows and reports clicks.
    int getNumRows() override;
    void paintRowBackground (juce::Graphics&, int rowNumber, int width, int height, bool rowIsSelected) override;
    void paintCell (juce::Graphics&, int rowNumber, int columnId, int width, int height, bool rowIsSelected) override;
    void cellDoubleClicked (int rowNumber, int columnId, const juce::MouseEvent&) override;
    void sortOrderChanged (int newSortColumnId, bool isForwards) override;
    void selectedRowsChanged (int lastRowSelected) override;
    void returnKeyPressed (int lastRowSelected) override;

    juce::Font getCellFont() const;

    SearchEngine& engine;
    Listener* listener = nullptr;

    JUCE_DECLARE_NON_COPYABLE (TableResultsComponent)
};
