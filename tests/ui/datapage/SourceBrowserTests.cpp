#include <gtest/gtest.h>
#include "ui/datapage/SourceBrowserWorld.h"

using namespace testing_support;

//==============================================================================
TEST (SourceBrowser, ShowsTheSourcesOfTheTreeWithTheirHeights)
{
    BrowserWorld w;
    auto* root = w.browser->getRootItem();
    ASSERT_NE (root, nullptr);
    EXPECT_FALSE (w.browser->getTreeView().isRootItemVisible());
    ASSERT_EQ (root->getNumSubItems(), 2);

    auto* device = dynamic_cast<SourceTreeItem*> (root->getSubItem (0));
    auto* archive = dynamic_cast<SourceTreeItem*> (root->getSubItem (1));
    ASSERT_NE (device, nullptr);
    ASSERT_NE (archive, nullptr);
    EXPECT_EQ (device->getNode(), w.deviceNode);
    EXPECT_EQ (archive->getNode()[SourceIds::label].toString(), "Backups");

    archive->setOpen (true);
    juce::StringArray labels;
    for (int i = 0; i < archive->getNumSubItems(); ++i)
        labels.add (dynamic_cast<SourceTreeItem*> (archive->getSubItem (i))->getNode()[SourceIds::label].toString());
    EXPECT_EQ (labels.joinIntoString ("|"), "Gigs|Studio|Demo");
    EXPECT_EQ (archive->getUniqueName(), w.archiveNode[SourceIds::id].toString());

    // Scale 1: the unit 120, a category 16 x 2.1, a group 14 x 1.92, an item 14 x 1.8.
    EXPECT_EQ (device->getItemHeight(), 120);
    EXPECT_EQ (archive->getItemHeight(), 34);
    EXPECT_EQ (w.item (w.gigs())->getItemHeight(), 27);
    EXPECT_EQ (w.item (w.studio())->getItemHeight(), 25);
    EXPECT_TRUE (w.item (w.gigs())->getFont().isBold());
    EXPECT_FALSE (w.item (w.studio())->getFont().isBold());

    // A node added to the tree shows up; a removed one goes.
    w.archiveNode.appendChild (createSourceNode (SourceIds::group, "Later"), nullptr);
    EXPECT_NE (w.item (w.child (w.archiveNode, "Later")), nullptr);
    w.archiveNode.removeChild (w.child (w.archiveNode, "Later"), nullptr);
    EXPECT_EQ (archive->getNumSubItems(), 3);

    // Open groups stay open when their parent's children change.
    w.item (w.gigs())->setOpen (true);
    w.archiveNode.appendChild (createSourceNode (SourceIds::group, "Other"), nullptr);
    EXPECT_TRUE (w.item (w.gigs())->isOpen());
}

TEST (SourceBrowser, TheUnitShowsHowManyPresetsItHolds)
{
    BrowserWorld w;
    auto* device = w.item (w.deviceNode);
    EXPECT_EQ (device->getPresetsLine(), "Presets: n/a");   // no profile yet

    auto features = juce::parseXML ("<features numPresets='10' isBuildValid='1'/>");
    w.page.caps = DeviceCaps (nullptr, features.get(), 0x21, 100, 200);
    EXPECT_EQ (device->getPresetsLine(), "Presets: 4/9");

    auto none = juce::parseXML ("<features numPresets='0' isBuildValid='1'/>");
    w.page.caps = DeviceCaps (nullptr, none.get(), 0x21, 100, 200);
    EXPECT_EQ (device->getPresetsLine(), "");

    w.page.caps = DeviceCaps (nullptr, features.get(), 0x21, 100, 200);
    w.live.reset();   // the unit's data is gone: the weak reference is empty
    EXPECT_EQ (device->getPresetsLine(), "Presets: n/a");
}

TEST (SourceBrowser, SelectionNotifiesListenersAndOnlyGrowsByLikeItems)
{
    BrowserWorld w;
    struct Listener : SourceBrowserListener
    {
        std::vector<int>* order; int id;
        void sourceSelectionChanged() override { order->push_back (id); }
    };
    std::vector<int> order;
    Listener a, b;
    a.order = b.order = &order;
    a.id = 1; b.id = 2;
    w.browser->addListener (&a);
    w.browser->addListener (&b);
    w.browser->addListener (nullptr);

    EXPECT_TRUE (w.browser->selectSource (w.studio()));
    EXPECT_EQ (order, std::vector<int> ({ 2, 1 }));
    EXPECT_EQ (w.browser->getSelectedNodes(), juce::Array<juce::ValueTree> ({ w.studio() }));
    EXPECT_FALSE (w.browser->selectSource (createSourceNode (SourceIds::node, "Elsewhere")));

    w.browser->removeListener (&b);
    order.clear();
    w.browser->selectSource (w.deviceNode);
    EXPECT_EQ (order, std::vector<int> ({ 1 }));

    // With Shift held an archive selection takes other archive items and groups only.
    w.browser->selectSource (w.studio());
    juce::ModifierKeys::currentModifiers = juce::ModifierKeys (juce::ModifierKeys::shiftModifier);
    EXPECT_TRUE (w.item (w.demo())->canBeSelected());
    EXPECT_TRUE (w.item (w.gigs())->canBeSelected());
    EXPECT_FALSE (w.item (w.deviceNode)->canBeSelected());
    EXPECT_FALSE (w.item (w.archiveNode)->canBeSelected());
    juce::ModifierKeys::currentModifiers = juce::ModifierKeys();
    EXPECT_TRUE (w.item (w.deviceNode)->canBeSelected());
}

TEST (SourceBrowser, SelectedDataCombinesTheWorkingCopies)
{
    BrowserWorld w;
    w.select ({ w.studio(), w.demo() });
    auto data = w.browser->getSelectedData();
    ASSERT_NE (data, nullptr);
    EXPECT_EQ (data->getPresetIndices(), juce::Array<int> ({ 2, 4, 6 }));
    EXPECT_TRUE (data->getSetup().isComplete());

    w.browser->selectSource (w.gigs());
    EXPECT_EQ (w.browser->getSelectedData(), nullptr);
}

TEST (SourceBrowser, PaintsTheTreeInThePaletteColours)
{
    BrowserWorld w;
    LSLookAndFeel laf;
    w.browser->setLookAndFeel (&laf);
    w.browser->setRoot (&w.page, w.page.root);
    w.browser->setSize (300, 500);
    w.browser->selectSource (w.studio());
    // The tree lays out its rows asynchronously.
    ASSERT_TRUE (pumpUntil ([&] {
        auto* rows = w.browser->getTreeView().getViewport()->getViewedComponent();
        return rows != nullptr && rows->getHeight() >= 120 + 34 + 27 + 25 + 25;
    }));

    auto image = w.browser->createComponentSnapshot (w.browser->getLocalBounds());
    if (auto* out = std::getenv ("LARKSPIRE_SNAPSHOT"))
    {
        juce::File (out).deleteFile();
        juce::FileOutputStream stream ((juce::File (out)));
        juce::PNGImageFormat().writeImageToStream (image, stream);
    }
    const auto rowArea = w.item (w.studio())->getItemPosition (true).translated (w.browser->getTreeView().getX(),
                                                                                w.browser->getTreeView().getY());
    // The selected row is filled in the dark slate; its text is drawn in the light colour.
    EXPECT_EQ (image.getPixelAt (rowArea.getRight() - 3, rowArea.getCentreY()), paletteColour099);
    bool lightText = false;
    for (int x = rowArea.getX(); x < rowArea.getRight() && ! lightText; ++x)
        for (int y = rowArea.getY(); y < rowArea.getBottom() && ! lightText; ++y)
            lightText = image.getPixelAt (x, y).getBrightness() > 0.8f;
    EXPECT_TRUE (lightText);

    // The tree's empty area below the rows shows the panel background.
    const auto tree = w.browser->getTreeView().getBounds();
    EXPECT_EQ (image.getPixelAt (tree.getCentreX(), tree.getBottom() - 3), paletteColour096);

    // An unselected row: background with dark text in it.
    const auto demoRow = w.item (w.demo())->getItemPosition (true).translated (tree.getX(), tree.getY());
    EXPECT_EQ (image.getPixelAt (demoRow.getRight() - 3, demoRow.getCentreY()), paletteColour096);
    bool darkText = false;
    for (int x = demoRow.getX(); x < demoRow.getRight() && ! darkText; ++x)
        for (int y = demoRow.getY(); y < demoRow.getBottom() && ! darkText; ++y)
            darkText = image.getPixelAt (x, y).getBrightness() < 0.4f;
    EXPECT_TRUE (darkText);

    // The header: the panel header's gradient from 0xffccd3d7 at the top to 0xffb7bfc4 at the bottom.
    auto near = [] (juce::Colour a, juce::Colour b) {
        return std::abs (a.getRed() - b.getRed()) <= 4 && std::abs (a.getGreen() - b.getGreen()) <= 4
               && std::abs (a.getBlue() - b.getBlue()) <= 4;
    };
    EXPECT_TRUE (near (image.getPixelAt (250, 0), paletteColour007)) << image.getPixelAt (250, 0).toDisplayString (true);
    EXPECT_TRUE (near (image.getPixelAt (250, 18), paletteColour003)) << image.getPixelAt (250, 18).toDisplayString (true);
    w.browser->setLookAndFeel (nullptr);
}
