#include "ui/dialogs/SearchContent.h"
#include "core/DialogService.h"
#include "core/Settings.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/LocationsMenuItem.h"

SearchContent::SearchContent (const juce::Array<juce::ValueTree>& deviceSources,
                              const juce::Array<juce::ValueTree>& backupSources,
                              const juce::Array<juce::ValueTree>& cloudSources,
                              int product, const juce::StringArray& tagLabels,
                              SearchResultTarget& t)
    : target (t), productId (product),
      btnLocation ("btnLocation", locationTooltip),
      table (engine)
{
    setLookAndFeel (&laf);

    engine.setSources (deviceSources, backupSources, cloudSources);
    engine.setListener (this);

    const int tagCount = juce::jmin (tagLabels.size(), SearchThread::maxTagCount);
    btnTags.setTags (tagLabels, parseSavedTagMask (getSettingText (SettingsKeys::presetSearchSelectedTags),
                                                   productId, tagCount));
    btnTags.onChange = [this] { restartSearch(); };

    locationMask = getSettingInt (SettingsKeys::presetSearchSelectedLocations, LocationsMenuItem::allLocationsMask)
                   & LocationsMenuItem::allLocationsMask;
    btnLocation.setButtonText ("Locations");
    btnLocation.onClick = [this]
    {
        auto menu = createLocationMenu();
        const int result = getDialogService().showPopupMenu (menu, &btnLocation);
        openLocationItems.clear();
        handleLocationMenuResult (result);
    };

    searchField.addListener (this);

    lblNoResults.setName ("lblNoResults");
    lblNoResults.setText (noResultsText, juce::dontSendNotification);
    lblNoResults.setJustificationType (juce::Justification::centred);
    lblNoResults.setColour (juce::Label::textColourId, paletteColour113);
    lblNoResults.setInterceptsMouseClicks (false, false);

    table.setListener (this);

    addAndMakeVisible (searchField);
    addAndMakeVisible (btnTags);
    addAndMakeVisible (btnLocation);
    addAndMakeVisible (table);
    addAndMakeVisible (lblNoResults);

    for (auto* c : std::initializer_list<juce::Component*> { this, &searchField, &btnTags, &btnLocation, &table })
        cursorParts.emplace_back (c, c->getMouseCursor());

    // Compact until the first query: the field and the filters only.
    const auto s = getUiScale();
    const int margin = laf.getScaledMargin();
    setSize (juce::roundToInt (420.0f * s), juce::roundToInt (laf.getButtonHeight()) + 2 * margin);
}

SearchContent::~SearchContent()
{
    engine.setListener (nullptr);
    engine.stopSearch();
    table.setListener (nullptr);
    searchField.removeListener (this);
    saveSettings();
    setLookAndFeel (nullptr);
}

int SearchContent::parseSavedTagMask (const juce::String& settingText, int product, int tagCount)
{
    const int allTags = SearchThread::makeAllTagsMask (tagCount);
    auto tokens = juce::StringArray::fromTokens (settingText, ", \t\r\n", {});
    tokens.removeEmptyStrings();

    auto isNumber = [] (const juce::String& t)
    {
        auto digits = t.startsWithChar ('-') ? t.substring (1) : t;
        return digits.isNotEmpty() && digits.containsOnly ("0123456789");
    };

    if (tokens.size() >= 2 && isNumber (tokens[0]) && isNumber (tokens[1]) && tokens[0].getIntValue() == product)
        return tokens[1].getIntValue() & allTags;

    return allTags;
}

void SearchContent::saveSettings()
{
    setSetting (SettingsKeys::presetSearchSelectedLocations, locationMask);
    setSetting (SettingsKeys::presetSearchSelectedTags, juce::String (productId) + " " + juce::String (btnTags.getTagMask()));
}

float SearchContent::getUiScale() const
{
    if (auto* l = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return l->getScale();
    return 1.0f;
}

//==============================================================================
void SearchContent::toggleLocation (int index)
{
    if (! juce::isPositiveAndBelow (index, LocationsMenuItem::numLocations))
        return;
    locationMask ^= (1 << index);
    restartSearch();
}

juce::PopupMenu SearchContent::createLocationMenu()
{
    openLocationItems.clear();
    juce::PopupMenu menu;
    for (int i = 0; i < LocationsMenuItem::numLocations; ++i)
    {
        auto item = std::make_unique<LocationsMenuItem> (i, [this, i] { return isLocationOn (i); },
                                                         [this, i] { toggleLocation (i); });
        openLocationItems.add (item.get());
        menu.addCustomItem (i + 1, std::move (item), nullptr, LocationsMenuItem::getLocationNames()[i]);
    }
    return menu;
}

void SearchContent::handleLocationMenuResult (int itemId)
{
    if (itemId > 0)
        toggleLocation (itemId - 1);
}

//==============================================================================
void SearchContent::restartSearch()
{
    engine.restartSearch (searchField.getText(), btnTags.getTagMask(), btnTags.getTagCount(),
                          LocationsMenuItem::getLocationNamesForMask (locationMask));
    // The old rows are gone; the label waits for the answer.
    table.showNewResults();
    lblNoResults.setVisible (false);
    setBusyCursor (true);
}

void SearchContent::stopSearch()
{
    engine.stopSearch();
    setBusyCursor (false);
}

void SearchContent::setBusyCursor (bool busy)
{
    for (auto& [component, cursor] : cursorParts)
        component->setMouseCursor (busy ? juce::MouseCursor (juce::MouseCursor::WaitCursor) : cursor);
}

void SearchContent::textEditorTextChanged (juce::TextEditor&)
{
    restartSearch();

    if ((float) getHeight() < 100.0f * getUiScale())
        setSize (juce::roundToInt (1.5 * getWidth()), expandedHeight);
    else
        resized();
}

void SearchContent::searchResultsArrived (SearchEngine&)
{
    table.showNewResults();
    setBusyCursor (false);
    lblNoResults.setVisible (engine.getResults().isEmpty());
}

void SearchContent::showResult (const SearchResult& result)
{
    target.showSearchResult (result.source, result.number);
}

void SearchContent::resultsFinished()
{
    stopSearch();
    // The table is still inside its mouse or key handler: close afterwards.
    juce::Component::SafePointer<SearchContent> safeThis (this);
    juce::MessageManager::callAsync ([safeThis]
    {
        if (safeThis != nullptr && safeThis->onFinished != nullptr)
            safeThis->onFinished();
    });
}

//==============================================================================
void SearchContent::paint (juce::Graphics& g)
{
    g.fillAll (paletteColour090);
}

void SearchContent::resized()
{
    const int margin = laf.getScaledMargin();
    auto area = getLocalBounds().reduced (margin);
    auto top = area.removeFromTop (juce::roundToInt (laf.getButtonHeight()));

    btnLocation.setBounds (top.removeFromRight (btnLocation.getBestWidth()));
    top.removeFromRight (margin);
    btnTags.setBounds (top.removeFromRight (btnTags.getBestWidth()));
    top.removeFromRight (margin);
    searchField.setBounds (top);

    area.removeFromTop (margin);
    table.setBounds (area);
    table.setVisible (! area.isEmpty());
    lblNoResults.setBounds (area.withSizeKeepingCentre (area.getWidth(), juce::jmin (area.getHeight(), 40)));
}
