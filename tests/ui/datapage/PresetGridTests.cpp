#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "core/Settings.h"
#include "ui/CellButtonHelper.h"
#include "ui/LSLookAndFeel.h"
#include "ui/ColourPalette.h"
#include "ui/datapage/PresetButtonContainer.h"
#include "ui/datapage/SelectedSourceNodeProvider.h"
#include "support/FakeDataPage.h"
#include "support/PresetGridFixtures.h"
#include "support/RecordingDialogService.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    struct TestGrid : PresetButtonContainer
    {
        using PresetButtonContainer::PresetButtonContainer;

        // A click as a button reports one: the modifiers of the mouse-up that fired it
        // (with the released button), then its listeners. Real X clicks are in the
        // window tests.
        void click (int slot, int extraModifiers = 0, int released = juce::ModifierKeys::leftButtonModifier)
        {
            auto* b = getButton (slot);
            b->clicked (juce::ModifierKeys (released | extraModifiers));
            buttonClicked (b);
        }
    };

    // Answers menus with scripted ids (0 once they run out).
    struct MenuAnswers : RecordingDialogService
    {
        std::vector<int> menuAnswers;
        int showPopupMenu (const juce::PopupMenu& menu, juce::Component* c) override
        {
            RecordingDialogService::showPopupMenu (menu, c);
            if (menuAnswers.empty())
                return 0;
            const int id = menuAnswers.front();
            menuAnswers.erase (menuAnswers.begin());
            return id;
        }
    };

    struct TreeSource : juce::Component, SelectedSourceNodeProvider
    {
        juce::ValueTree node;
        juce::ValueTree getSelectedSourceNode() const override { return node; }
    };

    struct MenuEntry { juce::String text; bool enabled; };

    // Every item of a menu and its sub-menus by id.
    void collect (const juce::PopupMenu& menu, std::map<int, MenuEntry>& out, juce::StringArray& subMenus)
    {
        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        {
            auto& item = it.getItem();
            if (item.subMenu != nullptr)
            {
                subMenus.add (item.text + (item.isEnabled ? "" : " (disabled)"));
                collect (*item.subMenu, out, subMenus);
            }
            else if (item.itemID != 0)
                out[item.itemID] = { item.text, item.isEnabled };
        }
    }

    juce::Array<int> slotsOf (std::initializer_list<int> s) { return juce::Array<int> (s); }

    struct PresetGridTest : ::testing::Test
    {
        TempHome home;
        struct Settings { Settings() { configureApplicationProperties(); } ~Settings() { deleteApplicationProperties(); } } settings;
        ScopedProductNames names;
        LSLookAndFeel lookAndFeel;
        FakeDataPage page;
        juce::Viewport viewport;
        std::unique_ptr<TestGrid> grid;
        juce::ValueTree root { createSourceNode (SourceIds::root, "Root Node") };
        juce::ValueTree backups { createBackupsSourceNode() };
        juce::ValueTree cloud { createCloudSourceNode() };

        PresetGridTest()
        {
            juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);
            root.appendChild (backups, nullptr);
            root.appendChild (cloud, nullptr);
            setPresetButtonViewType (0);
            grid = std::make_unique<TestGrid> (&page, &viewport);
            viewport.setSize (520, 300);
            viewport.setViewedComponent (grid.get(), false);
            page.addPresetDataChangeListener (grid.get());
        }

        ~PresetGridTest() override
        {
            viewport.setViewedComponent (nullptr, false);
            grid.reset();
            juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
        }

        static DeviceCaps makeCaps (int numPresets, bool presetDelete = true, int maxSteps = 5)
        {
            auto xml = juce::parseXML ("<features numPresets='" + juce::String (numPresets) + "' presetDelete='"
                                       + (presetDelete ? "1" : "0") + "' maxPresetSteps='" + juce::String (maxSteps) + "'/>");
            return DeviceCaps (nullptr, xml.get(), 0x21, 100, 200);
        }

        // A data node under `parent` whose working copy holds presets in `filled`.
        juce::ValueTree addNode (juce::ValueTree parent, std::initializer_list<int> filled,
                                 std::initializer_list<int> factory = {}, DeviceData* device = nullptr)
        {
            auto node = createSourceNode (SourceIds::node, "Item");
            DataSet::Ptr set (new DataSet (device, makeGridData (10, filled, factory)));
            node.setProperty (SourceIds::data, juce::var (set.get()), nullptr);
            parent.appendChild (node, nullptr);
            return node;
        }

        void show (const juce::ValueTree& node, int numPresets = 10, bool presetDelete = true)
        {
            grid->setDeviceCaps (makeCaps (numPresets, presetDelete));
            grid->setSource (node);
            grid->updateLayout (500, 300);
        }

        void checkToggles()
        {
            for (int slot = 1; slot < grid->getNumButtons(); ++slot)
                EXPECT_EQ (grid->getButton (slot)->getToggleState(), grid->getSelection().contains (slot)) << slot;
        }

        juce::MouseEvent eventOn (juce::Component* c, juce::ModifierKeys mods = {})
        {
            const auto now = juce::Time::getCurrentTime();
            return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), {}, mods, 0.0f, 0.0f, 0.0f,
                                     0.0f, 0.0f, c, c, now, {}, now, 1, false);
        }

        void drop (juce::Component* sourceComponent, juce::Point<int> at)
        {
            grid->itemDropped (juce::DragAndDropTarget::SourceDetails ("drag", sourceComponent, at));
        }
    };
}

TEST_F (PresetGridTest, ButtonsShowSlotsFromOneWithTheirNames)
{
    auto node = addNode (backups, { 1, 2, 4 });
    show (node);

    ASSERT_EQ (grid->getNumButtons(), 10);
    EXPECT_FALSE (grid->getButton (0)->isVisible());
    EXPECT_FALSE (grid->getButton (0)->isEnabled());
    EXPECT_EQ (grid->getButton (1)->getButtonText(), "1: P1");
    EXPECT_TRUE (grid->getButton (1)->isEnabled());
    EXPECT_EQ (grid->getButton (3)->getButtonText(), "<3>");
    EXPECT_TRUE (grid->getButton (3)->isEmpty());
    EXPECT_FALSE (grid->getButton (3)->isEnabled());
    EXPECT_TRUE (grid->getButton (3)->isVisible());
    EXPECT_EQ (grid->getWorkingData(), getSourceNodeWorkingData (node));

    grid->setViewType (1);
    EXPECT_EQ (getPresetButtonViewType(), 1);
    EXPECT_EQ (grid->getButton (1)->getButtonText(), "P1");
    EXPECT_EQ (grid->getButton (3)->getButtonText(), "<empty>");
    EXPECT_EQ (grid->getButton (2)->getViewType(), 1);

    // A preset that appears later updates its button when the page says so.
    getSourceNodeWorkingData (node)->copyPresetTo (3, 1, *makeGridData (10, { 1 }));
    page.notifyPresetDataChanged (node, { 3 });
    EXPECT_EQ (grid->getButton (3)->getButtonText(), "P1");
    EXPECT_FALSE (grid->getButton (3)->isEmpty());

    // New caps while the node is shown: new buttons that show the data at once.
    grid->setDeviceCaps (makeCaps (12));
    ASSERT_EQ (grid->getNumButtons(), 12);
    EXPECT_EQ (grid->getButton (2)->getButtonText(), "P2");
    EXPECT_TRUE (grid->getButton (11)->isEmpty());
}

TEST_F (PresetGridTest, CellLayoutOverlapsNeighboursAndWidensTheLastOfARow)
{
    auto node = addNode (backups, { 1, 2, 3 });
    show (node);
    grid->updateLayout (500, 40);

    // 4 columns of 125: each next cell one pixel left of the previous one's edge.
    EXPECT_EQ (grid->getButton (1)->getBounds(), juce::Rectangle<int> (0, 0, 125, 25));
    EXPECT_EQ (grid->getButton (2)->getBounds(), juce::Rectangle<int> (124, 0, 125, 25));
    EXPECT_EQ (grid->getButton (4)->getBounds(), juce::Rectangle<int> (372, 0, 128, 25));
    EXPECT_EQ (grid->getButton (5)->getBounds(), juce::Rectangle<int> (0, 24, 125, 25));
    EXPECT_EQ (grid->getButton (9)->getBounds(), juce::Rectangle<int> (0, 48, 125, 25));
    EXPECT_EQ (grid->getBounds().getWidth(), 500);
    EXPECT_EQ (grid->getHeight(), 75);   // 3 rows of 25, more than the 40 asked for
    EXPECT_EQ (grid->getPreferredHeight(), 40);

    // Narrower than one cell: one column as wide as the grid.
    grid->updateLayout (100, 40);
    EXPECT_EQ (grid->getButton (1)->getBounds(), juce::Rectangle<int> (0, 0, 100, 25));
    EXPECT_EQ (grid->getButton (2)->getBounds(), juce::Rectangle<int> (0, 24, 100, 25));
}

TEST_F (PresetGridTest, IconLayoutClosesGapsOfHiddenEmptySlotsButCellLayoutKeepsThem)
{
    auto node = addNode (backups, { 1, 2, 4, 5 });
    show (node);
    grid->setViewType (1);
    grid->updateLayout (500, 100);

    // 3 per row (500 / 157), 4 apart, rows overlapping by one pixel.
    EXPECT_EQ (grid->getButton (1)->getBounds(), juce::Rectangle<int> (5, 5, 152, 95));
    EXPECT_EQ (grid->getButton (2)->getBounds(), juce::Rectangle<int> (161, 5, 152, 95));
    EXPECT_EQ (grid->getButton (3)->getBounds(), juce::Rectangle<int> (317, 5, 152, 95));
    EXPECT_EQ (grid->getButton (4)->getBounds(), juce::Rectangle<int> (5, 99, 152, 95));
    EXPECT_EQ (grid->getHeight(), 3 * 95);

    grid->performMenuCommand (PresetButtonContainer::toggleEmptySlotsId);
    EXPECT_FALSE (grid->getShowEmptySlots());
    EXPECT_FALSE (grid->getButton (3)->isVisible());
    EXPECT_EQ (grid->getButton (4)->getBounds(), juce::Rectangle<int> (317, 5, 152, 95));
    EXPECT_EQ (grid->getButton (5)->getBounds(), juce::Rectangle<int> (5, 99, 152, 95));

    // A preset deleted while gaps are hidden closes up at once.
    page.deletePresets (node, { 2 }, true, true);
    EXPECT_FALSE (grid->getButton (2)->isVisible());
    EXPECT_EQ (grid->getButton (4)->getBounds(), juce::Rectangle<int> (161, 5, 152, 95));

    // The cell view keeps every slot in its place.
    grid->setViewType (0);
    grid->updateLayout (500, 100);
    EXPECT_EQ (grid->getButton (4)->getBounds().getPosition(), juce::Point<int> (372, 0));
}

TEST_F (PresetGridTest, CloudSourcesShowEmptySlotsOnlyWhenTheyHaveGaps)
{
    auto packed = addNode (cloud, { 1, 2, 3 });
    auto gapped = addNode (cloud, { 1, 3 });
    show (packed);
    EXPECT_FALSE (grid->getShowEmptySlots());
    EXPECT_FALSE (grid->getButton (5)->isVisible());
    grid->clearSource();
    grid->setSource (gapped);
    EXPECT_TRUE (grid->getShowEmptySlots());
    EXPECT_TRUE (grid->getButton (5)->isVisible());
}

TEST_F (PresetGridTest, ScalesAreClampedStoredAndResizeTheButtons)
{
    auto node = addNode (backups, { 1 });
    show (node);

    grid->setScale (5.0);
    EXPECT_EQ (grid->getCellScale(), 4.0);
    EXPECT_EQ (getSettingDouble (SettingsKeys::presetCellButtonScale, 0.0), 4.0);
    grid->setScale (0.1);
    EXPECT_EQ (grid->getCellScale(), 0.5);
    EXPECT_EQ (getSettingDouble (SettingsKeys::presetCellButtonScale, 0.0), 0.5);

    grid->setScale (1.2);
    EXPECT_EQ (grid->getButtonSize(), juce::Rectangle<int> (150, 30));
    EXPECT_EQ (grid->getButton (1)->getHeight(), 30);
    // The shared cell backgrounds follow the new size.
    EXPECT_EQ (getCurrentCellButtonHelper()->getImage (0).getWidth(), 300);

    grid->setViewType (1);
    grid->setScale (1.2);
    EXPECT_EQ (grid->getButtonSize(), juce::Rectangle<int> (182, 114));
    EXPECT_EQ (grid->getCellScale(), 1.2);   // each view keeps its own
    EXPECT_EQ (getCurrentIconButtonHelper()->getImage (0).getBounds(), juce::Rectangle<int> (120, 75));

    EXPECT_TRUE (grid->keyPressed (juce::KeyPress ('0', juce::ModifierKeys::commandModifier, 0)));
    EXPECT_EQ (grid->getIconScale(), 1.0);
    EXPECT_TRUE (grid->keyPressed (juce::KeyPress ('=', juce::ModifierKeys::commandModifier, 0)));
    EXPECT_NEAR (grid->getIconScale(), 1.1, 1e-9);
    EXPECT_TRUE (grid->keyPressed (juce::KeyPress ('-', juce::ModifierKeys::commandModifier, 0)));
    EXPECT_NEAR (grid->getIconScale(), 0.99, 1e-9);

    // A new grid starts from the stored scales.
    TestGrid another (&page, &viewport);
    EXPECT_NEAR (another.getIconScale(), 0.99, 1e-9);
    EXPECT_EQ (another.getCellScale(), 1.2);
    EXPECT_EQ (another.getViewType(), 1);
}

TEST_F (PresetGridTest, ClickSelection)
{
    auto node = addNode (backups, { 1, 2, 3, 4, 6, 7 });
    show (node);

    grid->click (2);
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 2 }));
    grid->click (4, juce::ModifierKeys::commandModifier);
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 2, 4 }));
    grid->click (7, juce::ModifierKeys::shiftModifier);   // from the highest selected, skipping the empty 5
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 2, 4, 6, 7 }));
    checkToggles();

    grid->click (4, juce::ModifierKeys::commandModifier);  // ctrl-click takes it out again
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 2, 6, 7 }));
    checkToggles();

    // A plain click on a selected button keeps the selection until the mouse comes up.
    grid->click (6);
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 2, 6, 7 }));
    grid->mouseUp (eventOn (grid->getButton (6)));
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 6 }));
    checkToggles();

    // A plain click elsewhere selects that one alone.
    grid->click (3);
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 3 }));
    checkToggles();

    // Shift with nothing selected starts at slot 1.
    grid->selectSlots ({});
    grid->click (4, juce::ModifierKeys::shiftModifier);
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 1, 2, 3, 4 }));
    // Shift-clicking a selected slot leaves it selected and shown so.
    grid->click (2, juce::ModifierKeys::shiftModifier);
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 1, 2, 3, 4 }));
    checkToggles();

    // Clicks with the right button down, or none (a key), are not selections.
    grid->click (7, juce::ModifierKeys::rightButtonModifier);
    grid->click (7, 0, 0);
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 1, 2, 3, 4 }));
    checkToggles();

    // Every selection change is broadcast.
    struct Counter : juce::ChangeListener { int n = 0; void changeListenerCallback (juce::ChangeBroadcaster*) override { ++n; } } counter;
    grid->addChangeListener (&counter);
    grid->click (6);
    grid->dispatchPendingMessages();
    EXPECT_EQ (counter.n, 1);
    grid->removeChangeListener (&counter);
}

TEST_F (PresetGridTest, SelectionListsAndTheirStoreOnTheNode)
{
    auto node = addNode (backups, { 1, 2, 3, 5 }, { 1, 2 });
    show (node);

    grid->selectSlots ({ 0, 3, 4, 5, 3, 42 });   // slot 0, empty, duplicate and unknown slots are skipped
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 3, 5 }));
    checkToggles();

    EXPECT_TRUE (grid->keyPressed (juce::KeyPress ('a', juce::ModifierKeys::commandModifier, 0)));
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 1, 2, 3, 5 }));
    getSourceNodeWorkingData (node)->setPresetModified (2, true);   // a modified factory preset counts as user
    EXPECT_TRUE (grid->keyPressed (juce::KeyPress ('a', juce::ModifierKeys::commandModifier | juce::ModifierKeys::shiftModifier, 0)));
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 2, 3, 5 }));

    grid->clearSource();
    auto* stored = node[SourceIds::selectionList].getArray();
    ASSERT_NE (stored, nullptr);
    EXPECT_EQ (*stored, juce::Array<juce::var> ({ 2, 3, 5 }));

    // Shown again: the stored selection comes back, without slots emptied meanwhile.
    getSourceNodeWorkingData (node)->removePreset (3);
    grid->setSource (node);
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 2, 5 }));
    checkToggles();

    grid->selectSlots ({});
    grid->clearSource();
    EXPECT_FALSE (node.hasProperty (SourceIds::selectionList));

    // Escape deselects when something is selected.
    grid->setSource (node);
    EXPECT_FALSE (grid->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
    grid->selectSlots ({ 1 });
    EXPECT_TRUE (grid->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
    EXPECT_TRUE (grid->getSelection().isEmpty());
    checkToggles();
}

TEST_F (PresetGridTest, DeleteKeyRespectsReadOnlySourcesAndTheUnitsDeleteRight)
{
    // A cloud pack is read-only.
    auto pack = addNode (cloud, { 1, 2, 3 });
    show (pack);
    grid->selectSlots ({ 1 });
    EXPECT_FALSE (grid->keyPressed (juce::KeyPress (juce::KeyPress::deleteKey)));
    EXPECT_TRUE (page.calls.empty());

    // The connected unit's own data without the right to delete presets.
    auto live = makeGridData (10, { 1, 2, 3 });
    auto device = createDeviceSourceNode ("Merle 4711");
    root.addChild (device, 0, nullptr);
    auto unitNode = addNode (device, { 1, 2, 3 }, {}, live.get());
    page.connectedData = live.get();
    grid->clearSource();
    show (unitNode, 10, false);
    EXPECT_TRUE (grid->isShowingConnectedUnit());
    grid->selectSlots ({ 2 });
    EXPECT_FALSE (grid->keyPressed (juce::KeyPress (juce::KeyPress::backspaceKey)));
    EXPECT_TRUE (page.calls.empty());

    std::map<int, MenuEntry> items;
    juce::StringArray subMenus;
    collect (grid->createContextMenu(), items, subMenus);
    EXPECT_FALSE (items[PresetButtonContainer::cutId].enabled);
    EXPECT_FALSE (items[PresetButtonContainer::deleteId].enabled);
    EXPECT_TRUE (items[PresetButtonContainer::copyId].enabled);

    // With the right: Delete goes through the page, and the emptied slot shows the
    // preset still on the unit as a pending change.
    grid->setDeviceCaps (makeCaps (10, true));
    grid->setSource (unitNode);
    grid->selectSlots ({ 2 });
    EXPECT_TRUE (grid->keyPressed (juce::KeyPress (juce::KeyPress::deleteKey)));
    ASSERT_NE (page.last ("delete"), nullptr);
    EXPECT_EQ (page.last ("delete")->slots, slotsOf ({ 2 }));
    EXPECT_TRUE (page.last ("delete")->undoable && page.last ("delete")->newTransaction);
    EXPECT_TRUE (grid->getSelection().isEmpty());
    EXPECT_TRUE (grid->getButton (2)->isEmpty());
    EXPECT_TRUE (grid->getButton (2)->isChanged());
    EXPECT_EQ (grid->getButton (2)->getImageIndex(), 7);
    EXPECT_EQ (grid->countPendingChanges(), 1);

    // Any other source's data may always be edited.
    grid->clearSource();
    auto backup = addNode (backups, { 1, 2 });
    show (backup, 10, false);
    grid->selectSlots ({ 1 });
    EXPECT_TRUE (grid->keyPressed (juce::KeyPress (juce::KeyPress::deleteKey)));
    EXPECT_EQ (page.last ("delete")->node, backup);

    // So may an item in the user's upload folder in the cloud.
    auto user = createSourceNode (SourceIds::subCategory, "Me");
    user.setProperty (SourceIds::subCategory, SourceCategories::user, nullptr);
    auto uploads = createSourceNode (SourceIds::subCategory, "Uploads");
    uploads.setProperty (SourceIds::subCategory, SourceCategories::uploadFolder, nullptr);
    user.appendChild (uploads, nullptr);
    cloud.appendChild (user, nullptr);
    auto upload = addNode (uploads, { 1, 2 });
    show (upload, 10, false);
    grid->selectSlots ({ 2 });
    EXPECT_TRUE (grid->keyPressed (juce::KeyPress (juce::KeyPress::deleteKey)));
    EXPECT_EQ (page.last ("delete")->node, upload);
}

TEST_F (PresetGridTest, ClipboardKeysAndPasteCommands)
{
    auto node = addNode (backups, { 1, 2, 3, 6 });
    show (node);

    EXPECT_FALSE (grid->keyPressed (juce::KeyPress ('c', juce::ModifierKeys::commandModifier, 0)));  // nothing selected
    grid->selectSlots ({ 2, 3 });
    EXPECT_TRUE (grid->keyPressed (juce::KeyPress ('c', juce::ModifierKeys::commandModifier, 0)));
    ASSERT_NE (grid->getClipboard(), nullptr);
    EXPECT_EQ (grid->getClipboard()->getPresetIndices(), slotsOf ({ 2, 3 }));

    // Ctrl+V needs a preset button under the pointer (here there is no pointer at all;
    // the window tests paste with the pointer over a preset).
    EXPECT_FALSE (grid->keyPressed (juce::KeyPress ('v', juce::ModifierKeys::commandModifier, 0)));
    EXPECT_TRUE (page.calls.empty());

    // Paste at a clicked slot fills it and the following ones.
    grid->performMenuCommand (PresetButtonContainer::pasteId, 8);
    ASSERT_NE (page.last ("paste"), nullptr);
    EXPECT_EQ (page.last ("paste")->slots, slotsOf ({ 8, 9 }));
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 8, 9 }));
    EXPECT_EQ (getSourceNodeWorkingData (node)->getPreset (9)->getName(), "P3");

    // At the last slot only what fits is pasted.
    grid->performMenuCommand (PresetButtonContainer::pasteId, 9);
    EXPECT_EQ (page.last ("paste")->slots, slotsOf ({ 9 }));

    // Paste to the clipboard's own slots, and to the first empty slots.
    grid->performMenuCommand (PresetButtonContainer::pasteToOriginalId);
    EXPECT_EQ (page.last ("paste")->slots, slotsOf ({ 2, 3 }));
    grid->performMenuCommand (PresetButtonContainer::pasteToEmptyId);
    EXPECT_EQ (page.last ("paste")->slots, slotsOf ({ 4, 5 }));

    // Insert at the clicked slot selects what was inserted.
    grid->performMenuCommand (PresetButtonContainer::insertId, 1);
    ASSERT_NE (page.last ("insert"), nullptr);
    EXPECT_EQ (page.last ("insert")->a, 1);
    EXPECT_EQ (page.last ("insert")->otherSlots, slotsOf ({ 2, 3 }));

    // Cut copies, then deletes through the page.
    grid->selectSlots ({ 6 });
    EXPECT_TRUE (grid->keyPressed (juce::KeyPress ('x', juce::ModifierKeys::commandModifier, 0)));
    EXPECT_EQ (grid->getClipboard()->getPresetIndices(), slotsOf ({ 6 }));
    EXPECT_EQ (page.last ("delete")->slots, slotsOf ({ 6 }));
    EXPECT_FALSE (getSourceNodeWorkingData (node)->hasPreset (6));

    // New caps drop the clipboard.
    grid->setDeviceCaps (makeCaps (10));
    EXPECT_EQ (grid->getClipboard(), nullptr);
}

TEST_F (PresetGridTest, ContextMenuEntries)
{
    MenuAnswers dialogs;
    auto live = makeGridData (10, { 1, 2, 3 });
    auto device = createDeviceSourceNode ("Merle 4711");
    root.addChild (device, 0, nullptr);
    auto unitNode = addNode (device, { 1, 2 }, {}, live.get());
    page.connectedData = live.get();
    page.undoAvailable = true;
    show (unitNode);

    grid->selectSlots ({ 1, 2 });
    grid->mouseDown (eventOn (grid->getButton (1), juce::ModifierKeys::rightButtonModifier));
    ASSERT_EQ (dialogs.menus.size(), 1u);

    std::map<int, MenuEntry> items;
    juce::StringArray subMenus;
    collect (dialogs.menus[0], items, subMenus);
    EXPECT_EQ (items[100].text, "Select All Presets");
    EXPECT_TRUE (items[102].enabled);                       // cut
    EXPECT_FALSE (items[104].enabled);                      // nothing to paste yet
    EXPECT_EQ (items[110].text, "Delete Selected Presets");
    EXPECT_TRUE (items[111].enabled);
    EXPECT_FALSE (items[112].enabled);
    EXPECT_EQ (items[114].text, "Reset to Default");
    EXPECT_EQ (items[117].text, "All Changes");
    EXPECT_TRUE (items[117].enabled);                       // slot 3 is gone from the working copy
    EXPECT_EQ (items[118].text, "Selected Presets");
    EXPECT_FALSE (items[119].enabled);                      // no setup
    EXPECT_TRUE (subMenus.contains ("Send to Merle 4711"));
    EXPECT_TRUE (subMenus.contains ("Paste Special (disabled)"));
    EXPECT_TRUE (subMenus.contains ("Button Size"));

    // One preset on the clipboard: singular texts.
    grid->selectSlots ({ 1 });
    grid->copySelected();
    items.clear();
    subMenus.clear();
    collect (grid->createContextMenu(), items, subMenus);
    EXPECT_EQ (items[108].text, "Paste to Original Location");
    EXPECT_EQ (items[110].text, "Delete Selected Preset");
    EXPECT_TRUE (items[105].enabled);
    EXPECT_TRUE (subMenus.contains ("Paste Special"));

    // The chosen entry is carried out: undo goes to the page.
    dialogs.menuAnswers = { PresetButtonContainer::undoId };
    grid->mouseDown (eventOn (grid.get(), juce::ModifierKeys::rightButtonModifier));
    EXPECT_EQ (page.ops(), juce::StringArray ("undo"));

    // Data that is not the connected unit's offers no "All Changes".
    grid->clearSource();
    grid->setSource (addNode (backups, { 1 }));
    items.clear();
    collect (grid->createContextMenu(), items, subMenus);
    EXPECT_EQ (items.count (117), 0u);
    EXPECT_EQ (items.count (118), 1u);
}

TEST_F (PresetGridTest, DropsFromTheSameSource)
{
    MenuAnswers dialogs;
    auto node = addNode (backups, { 1, 2, 3, 4 });
    show (node);
    DataSetDragSnapShot snapshot;

    // Onto empty space (below the last button): nothing, not even a menu.
    snapshot.set (node, { 2, 3 });
    drop (&snapshot, { 10, 280 });
    EXPECT_TRUE (dialogs.menus.empty());

    // One preset onto its own slot: nothing.
    snapshot.set (node, { 2 });
    drop (&snapshot, grid->getButton (2)->getBounds().getCentre());
    EXPECT_TRUE (dialogs.menus.empty());

    // One preset onto another filled slot: move, paste, insert, swap and add as step.
    drop (&snapshot, grid->getButton (4)->getBounds().getCentre());
    ASSERT_EQ (dialogs.menus.size(), 1u);
    std::map<int, MenuEntry> items;
    juce::StringArray subMenus;
    collect (dialogs.menus[0], items, subMenus);
    EXPECT_EQ (items[200].text, "Move");
    EXPECT_EQ (items[201].text, "Paste");
    EXPECT_EQ (items[202].text, "Insert");
    EXPECT_EQ (items[203].text, "Swap");
    EXPECT_EQ (items[204].text, "Add as Step");
    EXPECT_TRUE (page.calls.empty());

    dialogs.menuAnswers = { PresetButtonContainer::dropSwapId };
    drop (&snapshot, grid->getButton (4)->getBounds().getCentre());
    ASSERT_NE (page.last ("swap"), nullptr);
    EXPECT_EQ (page.last ("swap")->a, 4);
    EXPECT_EQ (page.last ("swap")->b, 2);

    // Three presets onto slot 8 of 9: a partial move copies two and deletes only those
    // two, in the same transaction; the third stays where it was.
    page.calls.clear();
    snapshot.set (node, { 1, 2, 3 });
    dialogs.menuAnswers = { PresetButtonContainer::dropMoveId };
    drop (&snapshot, grid->getButton (8)->getBounds().getCentre());
    items.clear();
    collect (dialogs.menus.back(), items, subMenus);
    EXPECT_EQ (items[200].text, "Move (partial)");
    EXPECT_EQ (items[204].text, "Merge as Steps");
    EXPECT_EQ (items.count (203), 0u);
    ASSERT_EQ (page.ops(), juce::StringArray ({ "copy", "delete" }));
    EXPECT_EQ (page.calls[0].slots, slotsOf ({ 8, 9 }));
    EXPECT_EQ (page.calls[0].otherSlots, slotsOf ({ 1, 2 }));
    EXPECT_EQ (page.calls[1].slots, slotsOf ({ 1, 2 }));
    EXPECT_TRUE (page.calls[0].newTransaction);
    EXPECT_FALSE (page.calls[1].newTransaction);
    auto* d = getSourceNodeWorkingData (node);
    EXPECT_EQ (d->getPreset (8)->getName(), "P1");
    EXPECT_EQ (d->getPreset (9)->getName(), "P2");
    EXPECT_TRUE (d->hasPreset (3));
    EXPECT_FALSE (d->hasPreset (1));

    // Moving onto overlapping slots deletes only the sources that were not overwritten.
    page.calls.clear();
    snapshot.set (node, { 8, 9 });
    dialogs.menuAnswers = { PresetButtonContainer::dropMoveId };
    drop (&snapshot, grid->getButton (7)->getBounds().getCentre());
    ASSERT_EQ (page.ops(), juce::StringArray ({ "copy", "delete" }));
    EXPECT_EQ (page.calls[1].slots, slotsOf ({ 9 }));
}

TEST_F (PresetGridTest, DropsFromAnotherSource)
{
    MenuAnswers dialogs;
    auto node = addNode (backups, { 1, 2, 5 });
    auto other = addNode (backups, { 3, 4, 6 });
    show (node);

    // From another item onto empty space: pasted into the first empty slots, then selected.
    DataSetDragSnapShot snapshot;
    snapshot.set (other, { 3, 4 });
    dialogs.menuAnswers = { PresetButtonContainer::dropPasteId };
    drop (&snapshot, { 10, 280 });
    std::map<int, MenuEntry> items;
    juce::StringArray subMenus;
    collect (dialogs.menus.back(), items, subMenus);
    EXPECT_EQ (items.count (200), 0u);   // no move between sources
    EXPECT_EQ (items.count (202), 0u);   // no insert without a slot under the pointer
    EXPECT_EQ (items[201].text, "Paste");
    ASSERT_NE (page.last ("copy"), nullptr);
    EXPECT_EQ (page.last ("copy")->slots, slotsOf ({ 3, 4 }));
    EXPECT_EQ (page.last ("copy")->otherNode, other);
    EXPECT_EQ (grid->getSelection(), slotsOf ({ 3, 4 }));

    // The browser's tree: every filled slot of its selected item, inserted at a slot.
    TreeSource tree;
    tree.node = other;
    EXPECT_TRUE (grid->isInterestedInDragSource ({ "x", &tree, {} }));
    dialogs.menuAnswers = { PresetButtonContainer::dropInsertId };
    drop (&tree, grid->getButton (1)->getBounds().getCentre());
    ASSERT_NE (page.last ("insert"), nullptr);
    EXPECT_EQ (page.last ("insert")->a, 1);
    EXPECT_EQ (page.last ("insert")->otherSlots, slotsOf ({ 3, 4, 6 }));

    // Not interested in the grid's own node from the tree, in other components, or in
    // anything while a read-only source is shown.
    tree.node = node;
    EXPECT_FALSE (grid->isInterestedInDragSource ({ "x", &tree, {} }));
    juce::Component stranger;
    EXPECT_FALSE (grid->isInterestedInDragSource ({ "x", &stranger, {} }));
    EXPECT_TRUE (grid->isInterestedInDragSource ({ "x", &snapshot, {} }));
    grid->clearSource();
    grid->setSource (addNode (cloud, { 1 }));
    EXPECT_FALSE (grid->isInterestedInDragSource ({ "x", &snapshot, {} }));
}

TEST_F (PresetGridTest, DragImageStacksTheButtonUnderACountBadge)
{
    auto node = addNode (backups, { 1, 2, 3 });
    show (node);
    grid->selectSlots ({ 1, 2, 3 });

    grid->setScale (4.0);   // buttons 100 high: the circle is 40 across
    const auto image = grid->createDragImage (*grid->getButton (1));

    // Three copies of the button, the back one at (5 x 4 + 10, 3 x 2 + 10 + 10), each next
    // 5 left and 3 up: the front one's top border row starts at (20, 20).
    EXPECT_EQ (image.getPixelAt (2, 2).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (60, 20), paletteColour017);
    EXPECT_EQ (image.getPixelAt (60, 26 + 99), paletteColour017);   // the back copy's bottom row
    EXPECT_EQ (image.getPixelAt (20 + 2, 26 + 99).getAlpha(), 0);    // left of the back copy
    // The count circle at (10, 10), filled with the badge blue, outlined, with the count in white.
    EXPECT_TRUE (isNear (image.getPixelAt (14, 30), paletteColour046, 3));
    EXPECT_GT (countPixelsNear (image, { 20, 15, 20, 30 }, juce::Colours::white, 40), 10);
}
