#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "core/Settings.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "ui/LSLookAndFeel.h"
#include "ui/datapage/DataViewPanel.h"
#include "ui/datapage/DetailsPanel.h"
#include "support/FakeDataPage.h"
#include "support/PresetGridFixtures.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    // A command target that records what it performs.
    struct CommandRecorder : juce::ApplicationCommandTarget
    {
        juce::Array<int> performed;
        juce::ApplicationCommandTarget* getNextCommandTarget() override { return nullptr; }
        void getAllCommands (juce::Array<juce::CommandID>& ids) override
        {
            ids.addArray ({ AppCommand::downloadDeviceData, AppCommand::applyChanges, AppCommand::restoreSetup,
                            AppCommand::sendDirectToDevice });
        }
        void getCommandInfo (juce::CommandID id, juce::ApplicationCommandInfo& info) override
        {
            info.setInfo ("Command " + juce::String::toHexString (id), {}, "Test", 0);
        }
        bool perform (const InvocationInfo& info) override { performed.add (info.commandID); return true; }
    };

    // A container that records the sizes it is laid out with and grows to `contentHeight`.
    struct RecordingContainer : PanelContainerBase
    {
        juce::Array<int> widths;
        int contentHeight = 50;
        void updateLayout (int w, int) override { widths.add (w); setSize (w, contentHeight); }
    };

    struct PanelTest : ::testing::Test
    {
        TempHome home;
        struct Settings { Settings() { configureApplicationProperties(); } ~Settings() { deleteApplicationProperties(); } } settings;
        ScopedProductNames names;
        LSLookAndFeel lookAndFeel;
        FakeDataPage page;
        juce::ValueTree root { createSourceNode (SourceIds::root, "Root Node") };
        juce::ValueTree backups { createBackupsSourceNode() };
        juce::ValueTree cloud { createCloudSourceNode() };

        PanelTest()
        {
            juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);
            setPresetButtonViewType (0);
            root.appendChild (backups, nullptr);
            root.appendChild (cloud, nullptr);
        }
        ~PanelTest() override { juce::LookAndFeel::setDefaultLookAndFeel (nullptr); }

        juce::ValueTree addItem (juce::ValueTree parent, int slots, std::initializer_list<int> filled,
                                 const juce::String& label = "Item")
        {
            auto data = makeGridData (slots, filled);
            auto node = createArchiveSourceNode (std::make_unique<DeviceDataArchive> (data.get(), label, "About it"));
            node.setProperty (SourceIds::label, label, nullptr);
            parent.appendChild (node, nullptr);
            return node;
        }

        static DeviceCaps makeCaps (int numPresets)
        {
            auto xml = juce::parseXML ("<features numPresets='" + juce::String (numPresets) + "' presetDelete='1'/>");
            return DeviceCaps (nullptr, xml.get(), 0x21, 100, 200);
        }
    };
}

TEST_F (PanelTest, LayoutRunsOnceMoreWhenAScrollBarComesOrGoes)
{
    juce::Viewport viewport;
    viewport.setBounds (0, 0, 300, 200);
    RecordingContainer c;
    viewport.setViewedComponent (&c, false);
    const int t = c.getScrollBarThickness();

    c.contentHeight = 150;                                   // fits
    layoutPanelContainer (viewport, c, false);
    EXPECT_EQ (c.widths, juce::Array<int> ({ 300 }));

    c.widths.clear();
    c.contentHeight = 600;                                   // a scroll bar appears
    layoutPanelContainer (viewport, c, false);
    EXPECT_EQ (c.widths, juce::Array<int> ({ 300, 300 - t }));

    c.widths.clear();
    c.contentHeight = 150;                                   // and goes again
    layoutPanelContainer (viewport, c, false);
    EXPECT_EQ (c.widths, juce::Array<int> ({ 300 - t, 300 }));

    // The details panel keeps room for the bar from the start: no second layout.
    c.widths.clear();
    c.contentHeight = 600;
    layoutPanelContainer (viewport, c, true);
    EXPECT_EQ (c.widths, juce::Array<int> ({ 300 - t }));
    viewport.setViewedComponent (nullptr, false);
}

TEST_F (PanelTest, WorkspaceShowsContainersAndKeepsSelectionAndScrollPerNode)
{
    DataViewPanel panel (&page);
    panel.setSize (400, 100);
    auto a = addItem (backups, 60, { 1, 2, 3, 40 }, "A");
    auto b = addItem (backups, 60, { 1 }, "B");
    panel.getGrid().setDeviceCaps (makeCaps (60));

    panel.showView (DataViewPanel::gridView, a);
    EXPECT_EQ (panel.getShownContainer(), &panel.getGrid());
    EXPECT_EQ (panel.getViewport().getViewedComponent(), &panel.getGrid());
    EXPECT_EQ (page.presetListeners, juce::Array<PresetDataChangeListener*> ({ &panel.getGrid() }));
    EXPECT_TRUE (panel.getGrid().getWantsKeyboardFocus());
    EXPECT_GT (panel.getGrid().getHeight(), 100);

    panel.getGrid().selectSlots ({ 2, 3 });
    panel.getViewport().setViewPosition (0, 60);

    // The same container with the same node: nothing happens.
    panel.showView (DataViewPanel::gridView, a);
    EXPECT_FALSE (a.hasProperty (SourceIds::viewportOffset));
    EXPECT_EQ (panel.getViewport().getViewPositionY(), 60);
    EXPECT_EQ (page.presetListeners.size(), 1);

    // Another node: the old one keeps its scroll position and selection.
    panel.showView (DataViewPanel::gridView, b);
    EXPECT_EQ ((int) a[SourceIds::viewportOffset], 60);
    EXPECT_EQ (a[SourceIds::selectionList].getArray()->size(), 2);
    EXPECT_EQ (page.presetListeners.size(), 1);
    EXPECT_TRUE (panel.getGrid().getSelection().isEmpty());

    panel.showView (DataViewPanel::gridView, a);
    EXPECT_EQ (panel.getViewport().getViewPositionY(), 60);
    EXPECT_EQ (panel.getGrid().getSelection(), juce::Array<int> ({ 2, 3 }));

    // Scrolling to a slot: only when its top is not inside the visible range.
    panel.getViewport().setViewPosition (0, 0);
    panel.scrollToPresetSlot (2);
    EXPECT_EQ (panel.getViewport().getViewPositionY(), 0);
    panel.scrollToPresetSlot (40);
    EXPECT_EQ (panel.getViewport().getViewPositionY(), panel.getGrid().getButton (40)->getY());
    panel.scrollToPresetSlot (60);   // one past the last button
    panel.scrollToPresetSlot (-1);
    EXPECT_EQ (panel.getViewport().getViewPositionY(), panel.getGrid().getButton (40)->getY());

    // Empty views: plain and sync mode share one container.
    panel.showView (DataViewPanel::syncView, {});
    EXPECT_EQ (panel.getShownContainer(), &panel.getEmptyContainer());
    EXPECT_TRUE (panel.getEmptyContainer().getSyncButton().isVisible());
    EXPECT_EQ (page.presetListeners, juce::Array<PresetDataChangeListener*> ({ &panel.getEmptyContainer() }));
    EXPECT_FALSE (panel.getGrid().getWantsKeyboardFocus());
    panel.showView (DataViewPanel::emptyView, {});
    EXPECT_FALSE (panel.getEmptyContainer().getSyncButton().isVisible());
    EXPECT_EQ (panel.getContainer (7), &panel.getEmptyContainer());
}

TEST_F (PanelTest, WorkspaceRelaysSelectionChanges)
{
    DataViewPanel panel (&page);
    panel.setSize (400, 300);
    struct Counter : juce::ChangeListener { int n = 0; void changeListenerCallback (juce::ChangeBroadcaster*) override { ++n; } } counter;
    panel.addChangeListener (&counter);

    auto a = addItem (backups, 10, { 1, 2 });
    panel.getGrid().setDeviceCaps (makeCaps (10));
    panel.showView (DataViewPanel::gridView, a);
    panel.getGrid().selectSlots ({ 1 });
    EXPECT_TRUE (pumpUntil ([&] { return counter.n == 1; }, 10000));
    panel.getGroupView().sendChangeMessage();
    EXPECT_TRUE (pumpUntil ([&] { return counter.n == 2; }, 10000));
    panel.removeChangeListener (&counter);
}

TEST_F (PanelTest, SyncButtonReadsTheUnit)
{
    CommandRecorder target;
    getCommandManager().registerAllCommandsForTarget (&target);
    getCommandManager().setFirstCommandTarget (&target);

    EmptyContainer empty;
    juce::Component parent;
    parent.setSize (400, 500);
    parent.addAndMakeVisible (empty);
    empty.setSyncMode (true);
    EXPECT_EQ (empty.getLabel().getText(), "No Details Availalbe");
    EXPECT_EQ (empty.getSyncButton().getName(), "Big Sync Button");
    EXPECT_TRUE (empty.getSyncButton().isEnabled());

    const int t = empty.getScrollBarThickness();
    empty.updateLayout (400, 300);
    EXPECT_EQ (empty.getBounds().getWidth(), 400 - t - 2);
    EXPECT_EQ (empty.getHeight(), 500 - t - 2);
    EXPECT_EQ (empty.getPreferredHeight(), 300);

    empty.getSyncButton().triggerClick();
    EXPECT_TRUE (pumpUntil ([&] { return target.performed.contains (AppCommand::downloadDeviceData); }, 10000));

    empty.setSyncMode (false);
    EXPECT_FALSE (empty.getSyncButton().isVisible());
    empty.updateLayout (400, 300);
    EXPECT_EQ (empty.getHeight(), 0);

    getCommandManager().setFirstCommandTarget (nullptr);
    setCommandManager (nullptr);
}

TEST_F (PanelTest, DataSetDetailsLayoutAtScaleOne)
{
    DetailsPanel panel (&page);
    auto item = addItem (backups, 10, { 1 }, "Evening set");
    panel.setSize (600, 400);
    panel.showDetails (DetailsPanel::dataSetDetails, item);
    auto& details = panel.getDataSetDetails();

    EXPECT_EQ (details.getNameCaption().getBounds().getY(), 27);
    EXPECT_EQ (details.getNameCaption().getHeight(), 20);
    EXPECT_EQ (details.getAuthorCaption().getY(), 55);
    EXPECT_EQ (details.getDateCaption().getY(), 83);
    EXPECT_EQ (details.getTitleEditor().getY(), 27);
    EXPECT_EQ (details.getIconArea().getBottom(), 115.0f);
    EXPECT_EQ (details.getDescriptionEditor().getY(), 125);
    EXPECT_EQ (details.getDescriptionEditor().getHeight(), 120);
    EXPECT_EQ (details.getHeight(), 260);
    EXPECT_EQ (panel.getPreferredHeight(), 260);
    EXPECT_EQ (details.getTitleEditor().getText(), "Evening set");
    EXPECT_EQ (details.getDescriptionEditor().getText(), "About it");
    EXPECT_TRUE (details.getTitleEditor().isVisible());

    // Too narrow for the rows: only the icon and the description remain.
    panel.setSize (200, 400);
    EXPECT_FALSE (details.getNameCaption().isVisible());
    EXPECT_FALSE (details.getTitleEditor().isVisible());
    EXPECT_TRUE (details.getDescriptionEditor().isVisible());
}

TEST_F (PanelTest, DataSetDetailsEditsGoToTheItemUnlessReadOnly)
{
    DetailsPanel panel (&page);
    panel.setSize (600, 400);
    auto item = addItem (backups, 10, { 1 }, "Old");
    panel.showDetails (DetailsPanel::dataSetDetails, item);
    auto& details = panel.getDataSetDetails();
    EXPECT_FALSE (details.isReadOnly());

    details.getTitleEditor().setText ("New title", false);
    details.textEditorReturnKeyPressed (details.getTitleEditor());
    ASSERT_NE (page.last ("title"), nullptr);
    EXPECT_EQ (page.last ("title")->text, "New title");
    EXPECT_TRUE (page.last ("title")->newTransaction);
    EXPECT_EQ (item[SourceIds::label].toString(), "New title");

    // Unchanged text commits nothing.
    details.textEditorFocusLost (details.getTitleEditor());
    EXPECT_EQ (page.ops().size(), 1);

    // The description is stored in the item when the panel moves on.
    auto* archive = getSourceNodeArchive (item);
    archive->setModified (false);
    details.getDescriptionEditor().setText ("Warm and wide", false);
    panel.showDetails (DetailsPanel::emptyDetails, {});
    EXPECT_EQ (archive->getDescription(), "Warm and wide");
    EXPECT_TRUE (archive->isModified());

    // A label changed elsewhere shows at once.
    panel.showDetails (DetailsPanel::dataSetDetails, item);
    item.setProperty (SourceIds::label, "Renamed", nullptr);
    details.archiveChanged (item, SourceIds::label);
    EXPECT_EQ (details.getTitleEditor().getText(), "Renamed");

    // Cloud items are read-only: nothing is committed.
    auto pack = addItem (cloud, 10, { 1 }, "Pack");
    panel.showDetails (DetailsPanel::dataSetDetails, pack);
    EXPECT_TRUE (details.isReadOnly());
    EXPECT_TRUE (details.getTitleEditor().isReadOnly());
    details.getTitleEditor().setText ("Mine now", false);
    details.textEditorReturnKeyPressed (details.getTitleEditor());
    details.getDescriptionEditor().setText ("changed", false);
    panel.showDetails (DetailsPanel::emptyDetails, {});
    EXPECT_EQ (page.ops().size(), 1);
    EXPECT_EQ (getSourceNodeArchive (pack)->getDescription(), "About it");
}

TEST_F (PanelTest, DeviceDetailsCountsAndRows)
{
    DetailsPanel panel (&page);
    auto live = makeGridData (10, { 1, 2, 3 }, { 1 });
    auto caps = makeCaps (10);
    page.connectedData = live.get();
    page.connectedCaps = &caps;
    page.productImage = juce::Image (juce::Image::ARGB, 300, 100, true);
    panel.setSize (600, 300);
    panel.showDetails (DetailsPanel::deviceDetails, {});
    auto& d = panel.getDeviceDetails();

    EXPECT_TRUE (d.isVisible());
    EXPECT_EQ (d.getTotalValue().getText(), "3/9");
    EXPECT_EQ (d.getUserValue().getText(), "2");
    EXPECT_EQ (d.getSetupCaption().getText(), "Setup: ");
    EXPECT_TRUE (d.getNotAvailable().isVisible());
    EXPECT_FALSE (d.getRestoreButton().isVisible());

    EXPECT_EQ (d.getProductImage().getBounds(), juce::Rectangle<int> (15, 15, 150, 50));
    EXPECT_EQ (d.getTotalCaption().getBounds().getPosition(), juce::Point<int> (190, 20));
    EXPECT_EQ (d.getTotalCaption().getHeight(), 22);
    EXPECT_EQ (d.getUserCaption().getY(), 42);
    EXPECT_EQ (d.getSetupCaption().getY(), 64);
    EXPECT_EQ (d.getHeight(), 64 + 22 + 15);

    // A complete setup can be restored; counts follow preset changes.
    live->setSetup (*makeSetup (live->getFormat(), 3), false);
    live->removePreset (2);
    d.presetDataChanged ({}, { 2 });
    EXPECT_EQ (d.getTotalValue().getText(), "2/9");
    EXPECT_EQ (d.getSetupCaption().getText(), "Restore Setup: ");
    EXPECT_TRUE (d.getRestoreButton().isVisible());

    // A format with at most one slot: "none", no user row, the setup row moves up.
    auto one = makeCaps (1);
    page.connectedCaps = &one;
    panel.showDetails (DetailsPanel::emptyDetails, {});
    panel.showDetails (DetailsPanel::deviceDetails, {});
    EXPECT_EQ (d.getTotalValue().getText(), "none");
    EXPECT_FALSE (d.getUserCaption().isVisible());
    EXPECT_EQ (d.getSetupCaption().getY(), 42);

    // No unit: nothing to show.
    page.connectedData = nullptr;
    panel.showDetails (DetailsPanel::emptyDetails, {});
    panel.showDetails (DetailsPanel::deviceDetails, {});
    EXPECT_FALSE (d.isVisible());
}

TEST_F (PanelTest, GroupDetailsCountItemsAndGroups)
{
    auto group = createSourceNode (SourceIds::group, "Live");
    backups.appendChild (group, nullptr);
    addItem (group, 10, { 1 });
    addItem (group, 10, { 2 });
    auto sub = createSourceNode (SourceIds::group, "Encores");
    group.appendChild (sub, nullptr);
    addItem (sub, 10, { 3 });

    DetailsPanel panel (&page);
    panel.setSize (500, 300);
    panel.showDetails (DetailsPanel::groupDetails, group);
    auto& g = panel.getGroupDetails();
    EXPECT_EQ (g.getItemsValue().getText(), "3");
    EXPECT_EQ (g.getGroupsValue().getText(), "1");
    EXPECT_EQ (g.getIconArea().getY(), 15.0f);
    EXPECT_EQ (g.getIconArea().getHeight(), 100.0f);
    EXPECT_EQ (g.getItemsCaption().getX(), (int) g.getIconArea().getRight() + 40);
    EXPECT_EQ (g.getItemsCaption().getY(), 20);
    EXPECT_EQ (g.getHeight(), 15 + 100 + 15);
}

TEST_F (PanelTest, GroupViewTilesFollowTheGroup)
{
    auto group = createSourceNode (SourceIds::group, "Live");
    backups.appendChild (group, nullptr);
    auto first = addItem (group, 10, { 1, 2 }, "First");
    addItem (group, 10, { 3 }, "Second");
    addItem (group, 10, { 4 }, "Third");

    DataViewPanel panel (&page);
    panel.setSize (300, 200);
    panel.showView (DataViewPanel::groupView, group);
    auto& view = panel.getGroupView();
    ASSERT_EQ (view.getNumTiles(), 3);
    EXPECT_EQ (view.getTile (0)->getButtonText(), "First");
    EXPECT_EQ (view.getTile (0)->getRadioGroupId(), 200);

    // Plain tiles are 120 x 80: two per row in 300 pixels.
    EXPECT_EQ (view.getTile (0)->getPosition(), juce::Point<int> (10, 10));
    EXPECT_EQ (view.getTile (1)->getPosition(), juce::Point<int> (140, 10));
    EXPECT_EQ (view.getTile (2)->getPosition(), juce::Point<int> (10, 100));
    EXPECT_EQ (view.getHeight(), 100 + 80 + 10);

    // Children added, renamed and removed.
    addItem (group, 10, { 5 }, "Fourth");
    EXPECT_EQ (view.getNumTiles(), 4);
    first.setProperty (SourceIds::label, "Opening", nullptr);
    EXPECT_EQ (view.getTile (0)->getButtonText(), "Opening");
    group.removeChild (first, nullptr);
    EXPECT_EQ (view.getNumTiles(), 3);
    EXPECT_EQ (view.getTile (0)->getButtonText(), "Second");

    // A double click on a tile selects its node in the browser.
    const auto now = juce::Time::getCurrentTime();
    view.mouseDoubleClick (juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0.0f, 0.0f,
                                             0.0f, 0.0f, 0.0f, view.getTile (2), view.getTile (2), now, {}, now, 2, false));
    ASSERT_EQ (page.browserSelections.size(), 1);
    EXPECT_EQ (page.browserSelections[0], view.getTileNode (2));

    // Delete removes the toggled tiles' nodes through the browser; the key is passed on.
    view.getTile (1)->setToggleState (true, juce::dontSendNotification);
    EXPECT_FALSE (view.keyPressed (juce::KeyPress (juce::KeyPress::deleteKey), nullptr));
    ASSERT_EQ (page.deletedNodes.size(), 1);
    EXPECT_EQ (page.deletedNodes[0], view.getTileNode (1));
    EXPECT_EQ (view.getSelectedTileNode(), view.getTileNode (1));

    // Cloud groups are read-only.
    auto cloudGroup = createSourceNode (SourceIds::group, "Packs");
    cloud.appendChild (cloudGroup, nullptr);
    addItem (cloudGroup, 10, { 1 });
    panel.showView (DataViewPanel::groupView, cloudGroup);
    view.getTile (0)->setToggleState (true, juce::dontSendNotification);
    view.keyPressed (juce::KeyPress (juce::KeyPress::backspaceKey), nullptr);
    EXPECT_EQ (page.deletedNodes.size(), 1);

    // A tile factory installed by the page makes the tiles.
    DataSetGroupViewContainer::setTileFactory ([] (const juce::ValueTree& node) {
        auto b = std::make_unique<juce::TextButton> ("tile " + node[SourceIds::label].toString());
        b->setSize (50, 40);
        return std::unique_ptr<juce::Button> (std::move (b));
    });
    panel.showView (DataViewPanel::groupView, group);
    EXPECT_EQ (view.getTile (0)->getButtonText(), "tile Second");
    EXPECT_EQ (view.getTile (1)->getPosition(), juce::Point<int> (70, 10));
    DataSetGroupViewContainer::setTileFactory (nullptr);
}
