#pragma once

#include "ui/SearchDialogLaf.h"
#include "ui/TextOnlyButton.h"
#include "ui/dialogs/SearchBar.h"
#include "ui/dialogs/SearchEngine.h"
#include "ui/dialogs/SearchResultTarget.h"
#include "ui/dialogs/TableResultsComponent.h"
#include "ui/dialogs/TagMenuButton.h"
#include <vector>

// The inside of the Find Preset dialog: the query field, the tag and location
// filters, the results table and its "No Results" label. It owns the search: every
// change of the query or of a filter starts a new search over the sources the data
// page handed in, and a chosen hit goes to the target. The chosen tags and locations
// are kept in the settings.
class SearchContent : public juce::Component,
                      private juce::TextEditor::Listener,
                      private SearchEngine::Listener,
                      private TableResultsComponent::Listener
{
public:
    // `productId` and `tagLabels` are those of the product in use; the target must
    // outlive the content.
    SearchContent (const juce::Array<juce::ValueTree>& deviceSources,
                   const juce::Array<juce::ValueTree>& backupSources,
                   const juce::Array<juce::ValueTree>& cloudSources,
                   int productId, const juce::StringArray& tagLabels,
                   SearchResultTarget& target);
    ~SearchContent() override;

    static constexpr const char* noResultsText = "No Results";
    static constexpr const char* locationTooltip = "Filter results by where they are located";
    static constexpr int expandedHeight = 400;

    // Called when the user is done (double-click or Return in the table); the window
    // closes itself then. Runs after the event that caused it has been handled.
    std::function<void()> onFinished;

    // The chosen locations (bit 0 Device, bit 1 Backups, bit 2 Cloud).
    int getLocationMask() const noexcept { return locationMask; }
    bool isLocationOn (int index) const noexcept { return (locationMask & (1 << index)) != 0; }
    void toggleLocation (int index);

    // The menu the location button shows, and what its result does.
    juce::PopupMenu createLocationMenu();
    void handleLocationMenuResult (int itemId);

    // Starts a new search with the field's text and the chosen tags and locations.
    void restartSearch();
    // Stops a running search (its results are dropped).
    void stopSearch();

    SearchEngine& getEngine() noexcept { return engine; }
    SearchBar& getSearchField() noexcept { return searchField; }
    TagMenuButton& getTagButton() noexcept { return btnTags; }
    TextOnlyButton& getLocationButton() noexcept { return btnLocation; }
    TableResultsComponent& getTable() noexcept { return table; }
    juce::Label& getNoResultsLabel() noexcept { return lblNoResults; }

    // The UI scale of the search look and feel, 1.0 under any other.
    float getUiScale() const;

    // The tag mask kept in the setting text "<product id> <mask>" for this product;
    // every tag when the text belongs to another product or lacks the mask.
    static int parseSavedTagMask (const juce::String& settingText, int productId, int tagCount);

    void paint (juce::Graphics&) override;
    void resized() override;

private:
    void textEditorTextChanged (juce::TextEditor&) override;
    void searchResultsArrived (SearchEngine&) override;
    void showResult (const SearchResult&) override;
    void resultsFinished() override;

    void setBusyCursor (bool busy);
    void saveSettings();

    SearchDialogLaf laf;
    SearchEngine engine;
    SearchResultTarget& target;
    const int productId;

    SearchBar searchField;
    TagMenuButton btnTags;
    TextOnlyButton btnLocation;
    juce::Label lblNoResults;
    TableResultsComponent table;

    int locationMask = 7;
    juce::Array<juce::Component::SafePointer<MenuToggleItem>> openLocationItems;
    // The parts that show the wait cursor while a search runs, with their own cursors.
    std::vector<std::pair<juce::Component*, juce::MouseCursor>> cursorParts;

    JUCE_DECLARE_NON_COPYABLE (SearchContent)
};
