#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "core/Settings.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/LocationsMenuItem.h"
#include "ui/dialogs/ResultsComparer.h"
#include "ui/dialogs/SearchDialog.h"
#include "support/DataFixtures.h"
#include "support/PresetGridFixtures.h"
#include "support/RecordingDialogService.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    struct PresetEntry
    {
        int slot;
        const char* name;
        int tags;
    };

    struct SettingsHome
    {
        TempHome home;
        SettingsHome()  { configureApplicationProperties(); }
        ~SettingsHome() { deleteApplicationProperties(); }
    };

    // Stands in for the data page: records every hit it is told to show.
    struct RecordingTarget : SearchResultTarget
    {
        void showSearchResult (const juce::ValueTree& source, int number) override { shown.push_back ({ source, number }); }
        std::vector<std::pair<juce::ValueTree, int>> shown;
    };

    const juce::StringArray productTags { "Lead", "Harmony", "Ambient" };
    constexpr int productId = 12;

    juce::MouseEvent mouseEventAt (juce::Component& c, juce::Point<float> pos, int clicks)
    {
        const auto now = juce::Time::getCurrentTime();
        return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), pos, juce::ModifierKeys(),
                                 juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f, &c, &c, now,
                                 pos, now, clicks, false);
    }

    juce::Array<MenuToggleItem*> toggleItemsOf (const juce::PopupMenu& menu)
    {
        juce::Array<MenuToggleItem*> out;
        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
            if (auto* item = dynamic_cast<MenuToggleItem*> (it.getItem().customComponent.get()))
                out.add (item);
        return out;
    }

    // The source tree the data page would hand in:
    //   Merle (device)            1 Dbl Vocal, 2 Warm Hall, 3 Octave Down, 5 Harmony Lead
    //   Backups
    //     Live (group)
    //       Evening Set           1 Dbl Vocal, 2 Big Verb, 4 Hall
    //     "" (no label)           1 Vocal Thin
    //   Cloud
    //     Harmony Pack            1 Dbl Vocal, 3 Robopitch
    struct FindPresetTest : ::testing::Test
    {
        SettingsHome settings;
        RecordingDialogService dialogs;
        ScopedProductNames productNames;
        DeviceDataFormat format = smallFormat (12);
        juce::ValueTree root, deviceNode, backupsNode, group, evening, unnamed, cloudNode, pack;
        RecordingTarget target;
        std::unique_ptr<SearchContent> content;

        FindPresetTest()
        {
            root = createSourceNode (SourceIds::root, "Root Node");
            deviceNode = createDeviceSourceNode ("Merle");
            attach (deviceNode, { { 1, "Dbl Vocal", 0x1 }, { 2, "Warm Hall", 0x2 }, { 3, "Octave Down", 0 }, { 5, "Harmony Lead", 0x5 } });
            backupsNode = createBackupsSourceNode();
            group = createSourceNode (SourceIds::group, "Live");
            evening = dataNode ("Evening Set", { { 1, "Dbl Vocal", 0x1 }, { 2, "Big Verb", 0x2 }, { 4, "Hall", 0 } });
            unnamed = dataNode ("", { { 1, "Vocal Thin", 0x4 } });
            cloudNode = createCloudSourceNode();
            pack = dataNode ("Harmony Pack", { { 1, "Dbl Vocal", 0x1 }, { 3, "Robopitch", 0x4 } });

            root.appendChild (deviceNode, nullptr);
            root.appendChild (backupsNode, nullptr);
            backupsNode.appendChild (group, nullptr);
            group.appendChild (evening, nullptr);
            backupsNode.appendChild (unnamed, nullptr);
            root.appendChild (cloudNode, nullptr);
            cloudNode.appendChild (pack, nullptr);
        }

        ~FindPresetTest() override { content.reset(); }

        void attach (juce::ValueTree node, std::initializer_list<PresetEntry> presets)
        {
            auto d = std::make_unique<DeviceData> (VersionNumber (0, 1, 0, 0, 50, 0), format, nullptr);
            for (auto& p : presets)
            {
                auto preset = makePreset (format, p.slot, p.name, 1, p.slot);
                auto info = preset->getInfo();
                info.tags = p.tags;
                preset->setInfo (info);
                d->setPreset (p.slot, std::move (preset));
            }
            node.setProperty (SourceIds::data, new DataSet (nullptr, std::move (d)), nullptr);
        }

        juce::ValueTree dataNode (const juce::String& label, std::initializer_list<PresetEntry> presets)
        {
            auto node = createSourceNode (SourceIds::node, label);
            attach (node, presets);
            return node;
        }

        juce::Array<juce::ValueTree> collect (const juce::ValueTree& category) const
        {
            juce::Array<juce::ValueTree> out;
            collectSourceDataNodes (category, out);
            return out;
        }

        SearchContent& open (int product = productId, const juce::StringArray& tags = productTags)
        {
            content = std::make_unique<SearchContent> (juce::Array<juce::ValueTree> { deviceNode }, collect (backupsNode),
                                                       collect (cloudNode), product, tags, target);
            return *content;
        }

        // Waits until the search started by the last change has answered.
        void waitForResults (int generationBefore)
        {
            ASSERT_TRUE (pumpUntil ([&] { return content->getEngine().getGeneration() != generationBefore
                                                 && ! content->getEngine().isSearching(); }));
        }

        // Types a query as the user does (the field tells its listeners later).
        void type (const juce::String& text)
        {
            const int before = content->getEngine().getGeneration();
            content->getSearchField().setText (text, true);
            waitForResults (before);
        }

        // The table's rows as "<Preset #> <Name> @ <Location>".
        juce::StringArray rows()
        {
            juce::StringArray out;
            auto& table = content->getTable();
            for (int i = 0; i < table.getModel()->getNumRows(); ++i)
            {
                auto* r = table.getResult (i);
                out.add (TableResultsComponent::getCellText (*r, 2) + " " + TableResultsComponent::getCellText (*r, 3)
                         + " @ " + TableResultsComponent::getCellText (*r, 4));
            }
            return out;
        }

        juce::StringArray names()
        {
            juce::StringArray out;
            for (auto& r : content->getEngine().getResults())
                out.add (r.name);
            return out;
        }

        // Clicks a column header as the user does and waits for the new order.
        void sortBy (int columnId, bool forwards)
        {
            content->getTable().getHeader().setSortColumnId (columnId, forwards);
            ASSERT_TRUE (pumpUntil ([&] { return content->getEngine().getSortColumn() == columnId
                                                 && content->getEngine().getSortDirection() == (forwards ? 1 : -1); }));
        }
    };
}

//==============================================================================
TEST_F (FindPresetTest, OpensCompactAndGrowsOnTheFirstQueryShowingRankedHitsAndTheWaitCursorMeanwhile)
{
    auto& c = open();
    EXPECT_EQ (c.getSearchField().getName(), "searchField");
    EXPECT_EQ (c.getSearchField().getTextToShowWhenEmpty(), "Search");
    EXPECT_EQ (c.getTagButton().getName(), "btnTags");
    EXPECT_EQ (c.getTagButton().getTooltip(), "Filter results by tags");
    EXPECT_EQ (c.getLocationButton().getName(), "btnLocation");
    EXPECT_EQ (c.getLocationButton().getTooltip(), "Filter results by where they are located");
    EXPECT_EQ (c.getNoResultsLabel().getName(), "lblNoResults");
    EXPECT_EQ (c.getNoResultsLabel().getText(), "No Results");
    EXPECT_EQ (c.getTable().getName(), "SearchTable");
    auto& header = c.getTable().getHeader();
    ASSERT_EQ (header.getNumColumns (true), 4);
    EXPECT_EQ (header.getColumnName (1), "Rank");
    EXPECT_EQ (header.getColumnName (2), "Preset #");
    EXPECT_EQ (header.getColumnName (3), "Name");
    EXPECT_EQ (header.getColumnName (4), "Location");

    const int compactWidth = c.getWidth();
    EXPECT_LT ((float) c.getHeight(), 100.0f * c.getUiScale()) << "the dialog opens compact";
    c.setTopLeftPosition (7, 9);

    const auto normalFieldCursor = c.getSearchField().getMouseCursor();
    const int before = c.getEngine().getGeneration();
    c.getSearchField().setText ("vocal", true);
    ASSERT_TRUE (pumpUntil ([&] { return c.getEngine().getGeneration() != before; }));
    // The wait cursor shows until the answer arrives (it cannot arrive before the loop runs again).
    c.restartSearch();
    EXPECT_TRUE (c.getEngine().isSearching());
    EXPECT_TRUE (c.getMouseCursor() == juce::MouseCursor (juce::MouseCursor::WaitCursor));
    EXPECT_TRUE (c.getSearchField().getMouseCursor() == juce::MouseCursor (juce::MouseCursor::WaitCursor));
    EXPECT_TRUE (c.getTable().getMouseCursor() == juce::MouseCursor (juce::MouseCursor::WaitCursor));
    EXPECT_TRUE (c.getTagButton().getMouseCursor() == juce::MouseCursor (juce::MouseCursor::WaitCursor));
    EXPECT_TRUE (c.getLocationButton().getMouseCursor() == juce::MouseCursor (juce::MouseCursor::WaitCursor));
    EXPECT_FALSE (c.getNoResultsLabel().isVisible()) << "no verdict while searching";
    waitForResults (before);

    EXPECT_EQ (c.getWidth(), juce::roundToInt (1.5 * compactWidth));
    EXPECT_EQ (c.getHeight(), 400);
    EXPECT_EQ (c.getPosition(), juce::Point<int> (7, 9)) << "growing keeps the position";
    EXPECT_TRUE (c.getTable().isVisible());
    EXPECT_GT (c.getTable().getHeight(), 100);

    // Every hit names a vocal preset, best first, and the header shows that sort.
    const auto found = names();
    ASSERT_FALSE (found.isEmpty());
    EXPECT_TRUE (found.contains ("Dbl Vocal"));
    EXPECT_TRUE (found.contains ("Vocal Thin"));
    EXPECT_FALSE (found.contains ("Warm Hall"));
    auto& results = c.getEngine().getResults();
    for (int i = 1; i < results.size(); ++i)
        EXPECT_GE (results[i - 1].score, results[i].score);
    EXPECT_EQ (header.getSortColumnId(), 1);
    EXPECT_TRUE (header.isSortedForwards());

    EXPECT_FALSE (c.getNoResultsLabel().isVisible());
    EXPECT_TRUE (c.getMouseCursor() == juce::MouseCursor (juce::MouseCursor::NormalCursor));
    EXPECT_TRUE (c.getSearchField().getMouseCursor() == normalFieldCursor) << "each part gets its own cursor back";
    EXPECT_TRUE (c.getTagButton().getMouseCursor() == juce::MouseCursor (juce::MouseCursor::PointingHandCursor));

    // A second query lays out again without growing further.
    const auto grownSize = c.getBounds();
    type ("zzqqxx");
    EXPECT_EQ (c.getBounds(), grownSize);
    EXPECT_EQ (c.getTable().getModel()->getNumRows(), 0);
    EXPECT_TRUE (c.getNoResultsLabel().isVisible());
}

TEST_F (FindPresetTest, CellsShowNumberNameAndLocationAndAPackOrNodeHitShowsPackAndSelectsOnlyTheNode)
{
    open();
    type ("harmony pack");

    const auto list = rows();
    EXPECT_TRUE (list.contains ("[Pack] Harmony Pack @ Cloud")) << list.joinIntoString (" | ");

    auto& table = content->getTable();
    int packRow = -1, presetRow = -1;
    for (int i = 0; i < table.getModel()->getNumRows(); ++i)
    {
        if (table.getResult (i)->number == 0 && table.getResult (i)->source == pack)
            packRow = i;
        if (table.getResult (i)->name == "Harmony Lead")
            presetRow = i;
    }
    ASSERT_GE (packRow, 0);
    ASSERT_GE (presetRow, 0);
    EXPECT_EQ (TableResultsComponent::getCellText (*table.getResult (presetRow), 2), "5");
    EXPECT_EQ (TableResultsComponent::getCellText (*table.getResult (presetRow), 4), "Merle");
    EXPECT_EQ (TableResultsComponent::getCellText (*table.getResult (presetRow), 1), "") << "the rank is drawn, not written";

    table.selectRow (packRow);
    ASSERT_EQ (target.shown.size(), 1u) << "selecting a row shows its hit at once";
    EXPECT_EQ (target.shown[0].first, pack);
    EXPECT_EQ (target.shown[0].second, 0) << "a node hit selects only the node";

    table.selectRow (presetRow);
    ASSERT_EQ (target.shown.size(), 2u);
    EXPECT_EQ (target.shown[1].first, deviceNode);
    EXPECT_EQ (target.shown[1].second, 5);

    // New results clear the selection without showing anything.
    type ("hall");
    EXPECT_EQ (table.getNumSelectedRows(), 0);
    EXPECT_EQ (target.shown.size(), 2u);
}

TEST_F (FindPresetTest, TagMenuTogglesTagsAndSelectAllFlipsBetweenAllAndNone)
{
    auto& c = open();
    auto& tags = c.getTagButton();
    EXPECT_EQ (tags.getTagMask(), 7) << "no saved choice: every tag";
    EXPECT_EQ (tags.getSelectAllButton().getButtonText(), "Select None");

    // The menu: one entry per tag and Select All.
    auto menu = tags.createMenu();
    auto items = toggleItemsOf (menu);
    ASSERT_EQ (items.size(), 3);
    EXPECT_EQ (items[1]->getText(), "Harmony");
    EXPECT_TRUE (items[1]->isOn());

    // Clicking an entry turns its tag off and searches again without closing the menu.
    int before = c.getEngine().getGeneration();
    items[0]->click();
    waitForResults (before);
    EXPECT_FALSE (items[0]->isOn());
    EXPECT_EQ (tags.getTagMask(), 6);
    auto found = names();
    found.sort (false);
    EXPECT_EQ (found.joinIntoString (","), "Big Verb,Harmony Lead,Robopitch,Vocal Thin,Warm Hall")
        << "untagged presets hide while only some tags are chosen";

    // "Select None": nothing tagged passes, the untagged presets do.
    before = c.getEngine().getGeneration();
    tags.getSelectAllButton().triggerClick();
    waitForResults (before);
    EXPECT_EQ (tags.getTagMask(), 0);
    EXPECT_FALSE (items[1]->isOn());
    EXPECT_EQ (tags.getSelectAllButton().getButtonText(), "Select All");
    found = names();
    found.sort (false);
    EXPECT_EQ (found.joinIntoString (","), "Hall,Octave Down");

    // "Select All": every preset.
    before = c.getEngine().getGeneration();
    tags.getSelectAllButton().triggerClick();
    waitForResults (before);
    EXPECT_EQ (tags.getTagMask(), 7);
    EXPECT_EQ (tags.getSelectAllButton().getButtonText(), "Select None");
    EXPECT_EQ (names().size(), 10);

    // The menu shown through the button: the chosen entry acts too.
    dialogs.answerMenusWith ({ 3 });
    before = c.getEngine().getGeneration();
    tags.triggerClick();
    waitForResults (before);
    ASSERT_EQ (dialogs.menus.size(), 1u);
    EXPECT_EQ (tags.getTagMask(), 3);
    EXPECT_FALSE (names().contains ("Robopitch"));
}

TEST_F (FindPresetTest, WithoutTagsTheFilterIsOffAndTheMenuOffersOnlySelectAll)
{
    auto& c = open (productId, {});
    EXPECT_EQ (c.getTagButton().getTagCount(), 0);
    EXPECT_TRUE (toggleItemsOf (c.getTagButton().createMenu()).isEmpty());
    const int before = c.getEngine().getGeneration();
    c.restartSearch();
    waitForResults (before);
    EXPECT_EQ (names().size(), 10);
}

TEST_F (FindPresetTest, LocationMenuChoosesWhereToSearchAndNoLocationMeansNoResults)
{
    setSetting (SettingsKeys::presetSearchSelectedLocations, 0);
    auto& c = open();
    EXPECT_EQ (c.getLocationMask(), 0);

    type ("vocal");
    EXPECT_EQ (c.getTable().getModel()->getNumRows(), 0);
    EXPECT_TRUE (c.getNoResultsLabel().isVisible());

    auto menu = c.createLocationMenu();
    auto items = toggleItemsOf (menu);
    ASSERT_EQ (items.size(), 3);
    EXPECT_EQ (items[0]->getText(), "Device");
    EXPECT_EQ (items[1]->getText(), "Backups");
    EXPECT_EQ (items[2]->getText(), "Cloud");
    for (auto* item : items)
    {
        EXPECT_NE (item->getIcon(), nullptr) << item->getText();
        EXPECT_FALSE (item->isOn());
    }

    int before = c.getEngine().getGeneration();
    items[1]->click();
    waitForResults (before);
    EXPECT_TRUE (items[1]->isOn());
    EXPECT_EQ (c.getLocationMask(), 2);
    EXPECT_FALSE (c.getNoResultsLabel().isVisible());
    for (auto& r : c.getEngine().getResults())
        EXPECT_TRUE (r.location.startsWith ("Backups")) << r.location;

    // Through the button's menu: Cloud joins.
    dialogs.answerMenusWith ({ 3 });
    before = c.getEngine().getGeneration();
    c.getLocationButton().triggerClick();
    waitForResults (before);
    EXPECT_EQ (c.getLocationMask(), 6);
    bool sawCloud = false;
    for (auto& r : c.getEngine().getResults())
    {
        EXPECT_FALSE (r.location.startsWith ("Merle")) << "the device is still left out";
        sawCloud = sawCloud || r.location.startsWith ("Cloud");
    }
    EXPECT_TRUE (sawCloud);
    EXPECT_EQ (LocationsMenuItem::getLocationNamesForMask (5).joinIntoString (","), "Device,Cloud");
}

TEST_F (FindPresetTest, ChosenTagsAndLocationsAreStoredForTheProductAndRestoredOnlyForIt)
{
    {
        auto& c = open();
        c.getTagButton().toggleTag (1);
        c.toggleLocation (0);
        content.reset();
    }
    EXPECT_EQ (getSettingText (SettingsKeys::presetSearchSelectedTags), "12 5");
    EXPECT_EQ (getSettingInt (SettingsKeys::presetSearchSelectedLocations, -1), 6);

    EXPECT_EQ (open().getTagButton().getTagMask(), 5) << "same product: the mask comes back";
    EXPECT_EQ (content->getLocationMask(), 6);
    content.reset();

    EXPECT_EQ (open (17).getTagButton().getTagMask(), 7) << "another product: every tag";
    content.reset();
    EXPECT_EQ (getSettingText (SettingsKeys::presetSearchSelectedTags), "17 7");

    // The stored text as users' files may hold it.
    EXPECT_EQ (SearchContent::parseSavedTagMask ("12,3", 12, 3), 3);
    EXPECT_EQ (SearchContent::parseSavedTagMask ("  12   2 ", 12, 3), 2);
    EXPECT_EQ (SearchContent::parseSavedTagMask ("12", 12, 3), 7) << "no mask";
    EXPECT_EQ (SearchContent::parseSavedTagMask ("", 12, 3), 7);
    EXPECT_EQ (SearchContent::parseSavedTagMask ("abc 2", 0, 3), 7) << "not a number is no product id";
    EXPECT_EQ (SearchContent::parseSavedTagMask ("12 255", 12, 3), 7) << "bits beyond the tags are dropped";
    EXPECT_EQ (SearchContent::parseSavedTagMask ("12 0", 12, 3), 0);
}

TEST_F (FindPresetTest, HeaderClicksSortEachColumnBothWaysWithTieBreaksKept)
{
    auto& c = open();
    type ("x");
    type ("");   // every preset, all scoring 1.0
    ASSERT_EQ (c.getTable().getModel()->getNumRows(), 10);

    // Rank: equal scores go by name, then device before archive before cloud.
    EXPECT_EQ (rows().joinIntoString (" | "),
               "2 Big Verb @ Backups - Live - Evening Set | 1 Dbl Vocal @ Merle | "
               "1 Dbl Vocal @ Backups - Live - Evening Set | 1 Dbl Vocal @ Cloud - Harmony Pack | "
               "4 Hall @ Backups - Live - Evening Set | 5 Harmony Lead @ Merle | 3 Octave Down @ Merle | "
               "3 Robopitch @ Cloud - Harmony Pack | 1 Vocal Thin @ Backups | 2 Warm Hall @ Merle");

    // Backwards turns round only the score, so equal scores keep the name order.
    sortBy (1, false);
    EXPECT_EQ (names()[0], "Big Verb");

    sortBy (3, false);
    EXPECT_EQ (names().joinIntoString (","),
               "Warm Hall,Vocal Thin,Robopitch,Octave Down,Harmony Lead,Hall,Dbl Vocal,Dbl Vocal,Dbl Vocal,Big Verb");

    sortBy (2, true);
    juce::StringArray numbers;
    for (auto& r : c.getEngine().getResults())
        numbers.add (juce::String (r.number));
    EXPECT_EQ (numbers.joinIntoString (","), "1,1,1,1,2,2,3,3,4,5");

    sortBy (2, false);
    EXPECT_EQ (c.getEngine().getResults().getFirst().number, 5);
    EXPECT_EQ (c.getEngine().getResults().getLast().number, 1);

    sortBy (4, true);
    juce::StringArray locations;
    for (auto& r : c.getEngine().getResults())
        locations.addIfNotAlreadyThere (r.location);
    EXPECT_EQ (locations.joinIntoString (","), "Backups,Backups - Live - Evening Set,Cloud - Harmony Pack,Merle");

    // With different scores the tie-break of equal names is the higher score.
    type ("dbl vocal");
    sortBy (3, true);
    auto& results = c.getEngine().getResults();
    for (int i = 1; i < results.size(); ++i)
    {
        const int byName = ResultsComparer::compareTexts (results[i - 1].name, results[i].name);
        EXPECT_LE (byName, 0);
        if (byName == 0)
            EXPECT_GE (results[i - 1].score, results[i].score);
    }
}

TEST_F (FindPresetTest, SortingKeepsTheSelectedHitSelectedWithoutShowingAnotherOne)
{
    auto& c = open();
    type ("x");
    type ("");
    auto& table = c.getTable();
    int hallRow = names().indexOf ("Hall");
    table.selectRow (hallRow);
    ASSERT_EQ (target.shown.size(), 1u);

    sortBy (3, false);
    ASSERT_GE (table.getSelectedRow(), 0);
    EXPECT_EQ (table.getResult (table.getSelectedRow())->name, "Hall");
    for (auto& shown : target.shown)
        EXPECT_EQ (shown.first, evening) << "only the selected hit is ever shown";
}

TEST_F (FindPresetTest, DoubleClickShowsTheHitAndReturnFinishesTheSearch)
{
    auto& c = open();
    type ("robopitch");
    auto& table = c.getTable();
    ASSERT_GE (table.getModel()->getNumRows(), 1);
    ASSERT_EQ (table.getResult (0)->name, "Robopitch");

    bool finished = false;
    c.onFinished = [&] { finished = true; };

    auto* row = table.getComponentForRowNumber (0);
    ASSERT_NE (row, nullptr);
    const juce::Point<float> inNameColumn ((float) table.getHeader().getColumnPosition (2).getCentreX(), 4.0f);
    row->mouseDown (mouseEventAt (*row, inNameColumn, 1));
    row->mouseUp (mouseEventAt (*row, inNameColumn, 1));
    row->mouseDoubleClick (mouseEventAt (*row, inNameColumn, 2));

    ASSERT_FALSE (target.shown.empty());
    EXPECT_EQ (target.shown.back().first, pack);
    EXPECT_EQ (target.shown.back().second, 3);
    EXPECT_FALSE (c.getEngine().isSearching());
    EXPECT_TRUE (pumpUntil ([&] { return finished; }));

    // Return: done, nothing more shown.
    finished = false;
    const auto shownBefore = target.shown.size();
    EXPECT_TRUE (table.keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
    EXPECT_TRUE (pumpUntil ([&] { return finished; }));
    EXPECT_EQ (target.shown.size(), shownBefore);
}

TEST_F (FindPresetTest, FocusSelectsTheBestHitUnlessAClickChoosesTheRow)
{
    auto& c = open();
    auto& table = c.getTable();
    table.focusGained (juce::Component::focusChangedByTabKey);
    EXPECT_EQ (table.getNumSelectedRows(), 0) << "no results, nothing to select";

    type ("hall");
    table.focusGained (juce::Component::focusChangedByMouseClick);
    EXPECT_EQ (table.getNumSelectedRows(), 0);
    EXPECT_TRUE (target.shown.empty());

    table.focusGained (juce::Component::focusChangedByTabKey);
    EXPECT_EQ (table.getSelectedRow(), 0);
    ASSERT_EQ (target.shown.size(), 1u);
    EXPECT_EQ (target.shown[0].second, table.getResult (0)->number);
}

TEST_F (FindPresetTest, TheRankBarGrowsWithTheScoreAndTheFieldShowsItsMagnifier)
{
    auto& c = open();
    type ("dbl vocal");
    auto& table = c.getTable();
    auto& results = c.getEngine().getResults();
    ASSERT_GE (results.size(), 2);
    ASSERT_GT (results.getFirst().score, results.getLast().score) << "the query needs hits of different scores";

    const auto image = table.createComponentSnapshot (table.getLocalBounds());
    const auto rankColumn = table.getHeader().getColumnPosition (0);
    auto inkOfRow = [&] (int row)
    {
        auto area = table.getRowPosition (row, true);
        area = area.withX (rankColumn.getX()).withWidth (rankColumn.getWidth());
        return countPixelsNear (image, area, paletteColour113, 10);
    };

    const int best = inkOfRow (0), worst = inkOfRow (results.size() - 1);
    EXPECT_GT (best, worst);
    EXPECT_GT (worst, 0);
    const float ratio = (float) worst / (float) best;
    EXPECT_NEAR (ratio, results.getLast().score / results.getFirst().score, 0.12f);

    // The name column carries the name's ink.
    auto nameArea = table.getRowPosition (0, true).withX (table.getHeader().getColumnPosition (2).getX())
                                                  .withWidth (table.getHeader().getColumnPosition (2).getWidth());
    EXPECT_GT (countPixelsNear (image, nameArea, juce::Colours::black, 90), 0);

    // The empty field: the magnifier and the grey hint.
    c.getSearchField().setText ({}, false);
    auto& field = c.getSearchField();
    const auto fieldImage = field.createComponentSnapshot (field.getLocalBounds());
    const auto icon = field.getIconArea().toNearestInt();
    EXPECT_GT (countPixelsNear (fieldImage, icon.withSize (icon.getWidth() / 2, icon.getHeight() / 2), paletteColour113, 20), 3)
        << "the lens";
    EXPECT_GT (countPixelsNear (fieldImage, icon.withTrimmedLeft (icon.getWidth() * 3 / 4).withTrimmedTop (icon.getHeight() * 3 / 4),
                                paletteColour113, 20), 0) << "the handle";
    auto hintArea = field.getLocalBounds().withTrimmedLeft (field.getIconArea().toNearestInt().getRight() + 2);
    EXPECT_GT (countPixelsNear (fieldImage, hintArea, juce::Colours::grey, 40), 0);
}

TEST_F (FindPresetTest, NoResultsLabelIsPaintedOverTheEmptyTable)
{
    auto& c = open();
    type ("zzqqxx");
    ASSERT_TRUE (c.getNoResultsLabel().isVisible());
    const auto image = c.createComponentSnapshot (c.getLocalBounds());
    const auto labelArea = c.getNoResultsLabel().getBounds();
    EXPECT_GT (countPixelsNear (image, labelArea, paletteColour113, 40), 5);

    type ("vocal");
    EXPECT_FALSE (c.getNoResultsLabel().isVisible());
}

//==============================================================================
TEST_F (FindPresetTest, DialogOpensAtTheStoredPositionAndStoresItWhenClosed)
{
    {
        SearchDialog dialog ({ deviceNode }, collect (backupsNode), collect (cloudNode), productId, productTags, target);
        EXPECT_EQ (dialog.getName(), "Find Preset");
        EXPECT_EQ (dialog.getPosition(), juce::Point<int> (20, 120)) << "first opening: the defaults";
        ASSERT_NE (dialog.getSearchContent(), nullptr);
        dialog.setTopLeftPosition (333, 222);
    }
    EXPECT_EQ (getSettingInt (SettingsKeys::presetSearchWindowPositionX, -1), 333);
    EXPECT_EQ (getSettingInt (SettingsKeys::presetSearchWindowPositionY, -1), 222);

    SearchDialog dialog ({ deviceNode }, collect (backupsNode), collect (cloudNode), productId, productTags, target);
    EXPECT_EQ (dialog.getPosition(), juce::Point<int> (333, 222));

    bool closed = false;
    dialog.onClosed = [&] { closed = true; };
    auto* searchContent = dialog.getSearchContent();
    ASSERT_NE (searchContent, nullptr);
    searchContent->getTagButton().toggleTag (2);
    dialog.setTopLeftPosition (40, 50);

    dialog.closeButtonPressed();
    EXPECT_TRUE (dialog.isClosed());
    EXPECT_FALSE (dialog.isVisible());
    EXPECT_EQ (dialog.getSearchContent(), nullptr) << "closing deletes the content";
    EXPECT_EQ (getSettingText (SettingsKeys::presetSearchSelectedTags), "12 3") << "and that stores the filters";
    EXPECT_EQ (getSettingInt (SettingsKeys::presetSearchWindowPositionX, -1), 40);
    EXPECT_EQ (getSettingInt (SettingsKeys::presetSearchWindowPositionY, -1), 50);
    EXPECT_TRUE (pumpUntil ([&] { return closed; }));

    // The owner may delete the dialog in the callback: what the callback holds lives on
    // until it returns.
    auto owned = std::make_unique<SearchDialog> (juce::Array<juce::ValueTree> { deviceNode }, collect (backupsNode),
                                                 collect (cloudNode), productId, productTags, target);
    bool heldAfterDeletion = false, ended = false;
    owned->onClosed = [&owned, &heldAfterDeletion, &ended, held = std::make_shared<int> (1)]
    {
        const std::weak_ptr<int> watch (held);
        owned.reset();
        heldAfterDeletion = ! watch.expired();
        ended = true;
    };
    owned->closeDialog();
    EXPECT_TRUE (pumpUntil ([&] { return ended; }));
    EXPECT_EQ (owned, nullptr);
    EXPECT_TRUE (heldAfterDeletion);
}

TEST_F (FindPresetTest, ADoubleClickClosesTheDialogAfterShowingTheHit)
{
    SearchDialog dialog ({ deviceNode }, collect (backupsNode), collect (cloudNode), productId, productTags, target);
    auto* c = dialog.getSearchContent();
    ASSERT_NE (c, nullptr);
    const int before = c->getEngine().getGeneration();
    c->getSearchField().setText ("warm hall", true);
    ASSERT_TRUE (pumpUntil ([&] { return c->getEngine().getGeneration() != before && ! c->getEngine().isSearching(); }));
    ASSERT_GE (c->getTable().getModel()->getNumRows(), 1);

    c->getTable().getModel()->cellDoubleClicked (0, 3, mouseEventAt (c->getTable(), {}, 2));
    ASSERT_EQ (target.shown.size(), 1u);
    EXPECT_EQ (target.shown[0].first, deviceNode);
    EXPECT_EQ (target.shown[0].second, 2);
    EXPECT_TRUE (pumpUntil ([&] { return dialog.isClosed(); }));
    EXPECT_EQ (dialog.getSearchContent(), nullptr);
}
