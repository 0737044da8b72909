#include <gtest/gtest.h>
#include "model/AtomicFileWriter.h"
#include "ui/datapage/SourceBrowserWorld.h"

using namespace testing_support;

TEST (SourceBrowser, BackupsAreTitledByKindMadeUniqueAndSavedAtOnce)
{
    BrowserWorld w;
    // Slots 1 and 2 of the unit are factory presets.
    auto features = juce::parseXML ("<features numPresets='10'/>");
    DeviceCaps caps (nullptr, features.get(), w.backups.newFormat.productId, 100, 200);
    juce::XmlElement bankXml ("factoryBank");
    for (int slot : { 1, 2 })
    {
        auto* e = bankXml.createNewChildElement ("preset");
        e->setAttribute ("number", slot);
        e->setAttribute ("md5", w.live->getPreset (slot)->getMd5().toHexString());
    }
    FactoryBank bank (&bankXml, caps);
    auto banked = std::make_unique<DeviceData> (w.live->getVersion(), w.live->getFormat(), &bank);
    banked->mergeFrom (*w.live);
    banked->clearModifiedFlags (false);
    w.page.dataSet = new DataSet (banked.get(), nullptr);
    w.deviceNode.setProperty (SourceIds::data, juce::var (w.page.dataSet.get()), nullptr);
    ASSERT_EQ (w.unitWorking().getNonFactoryPresetIndices(), juce::Array<int> ({ 3, 5 }));

    w.browser->selectSource (w.gigs());
    w.page.gridSelection = { 1 };
    w.browser->backup (false, false, true);    // user presets, into the selected group
    w.browser->backup (false, true, false);    // the grid's selection
    w.browser->backup (false, true, true);     // both
    w.browser->backup (true, false, false);    // everything

    ASSERT_EQ (w.gigs().getNumChildren(), 5);
    auto itemOf = [&] (int i) { return getSourceNodeArchive (w.gigs().getChild (i)); };
    const auto date = itemOf (1)->getDateText();
    EXPECT_EQ (w.gigs().getChild (1)[SourceIds::label].toString(), date + " (User)");
    EXPECT_EQ (itemOf (1)->getData()->getPresetIndices(), juce::Array<int> ({ 3, 5 }));
    EXPECT_TRUE (itemOf (1)->getData()->getSetup().isComplete());
    EXPECT_FALSE (itemOf (1)->getData()->isModified());
    EXPECT_TRUE (w.gigs().getChild (2)[SourceIds::label].toString().endsWith (" (Selected)"));
    EXPECT_EQ (itemOf (2)->getData()->getPresetIndices(), juce::Array<int> ({ 1 }));
    EXPECT_TRUE (w.gigs().getChild (3)[SourceIds::label].toString().endsWith (" (\?\?\?)"));
    EXPECT_EQ (itemOf (3)->getData()->getPresetIndices(), juce::Array<int> ({ 1, 3, 5 }));
    EXPECT_EQ (itemOf (4)->getData()->getPresetIndices(), juce::Array<int> ({ 1, 2, 3, 5 }));

    // On disk at once: every backup listed in the index with its files written.
    const auto titles = w.indexedTitles();
    for (int i = 1; i < 5; ++i)
    {
        EXPECT_TRUE (titles.contains ("Gigs/" + itemOf (i)->getTitle())) << titles.joinIntoString ("; ");
        EXPECT_TRUE (juce::File (itemOf (i)->getLinkData()).existsAsFile());
    }

    // A second backup of the same kind in the same minute carries a number.
    w.browser->backup (true, false, false);
    const auto first = w.gigs().getChild (4)[SourceIds::label].toString();
    const auto second = w.gigs().getChild (5)[SourceIds::label].toString();
    if (itemOf (4)->getDateText() == itemOf (5)->getDateText())
        EXPECT_EQ (second, first + " (2)");
    else
        EXPECT_EQ (second, itemOf (5)->getDateText() + " (All)");

    // Each backup is its own transaction. Its undo takes its files off disk and out of the
    // index; its redo brings both back.
    const juce::File undone (itemOf (5)->getLinkData());
    const auto filesOfUndone = [&] { return undone.existsAsFile() && undone.withFileExtension ("xml").existsAsFile(); };
    ASSERT_TRUE (w.page.undoStep (w.browser.get()));
    EXPECT_EQ (w.gigs().getNumChildren(), 5);
    EXPECT_FALSE (undone.exists() || undone.withFileExtension ("xml").exists());
    EXPECT_FALSE (w.indexedTitles().contains ("Gigs/" + second));
    ASSERT_TRUE (w.page.redoStep (w.browser.get()));
    EXPECT_TRUE (filesOfUndone());
    EXPECT_TRUE (w.indexedTitles().contains ("Gigs/" + second));

    // Undone while the index cannot be written, it keeps its files, which the index still lists;
    // they go with the next index written without it.
    const auto indexBytes = fileBytes (w.backups.indexFile());
    const auto inTheWay = AtomicFileWriter::temporaryFor (w.backups.indexFile()).getChildFile ("in the way");
    ASSERT_TRUE (inTheWay.create().wasOk());
    ASSERT_TRUE (w.page.undoStep (w.browser.get()));
    EXPECT_EQ (w.dialogs.titles(), juce::StringArray ({ "File Error" }));
    EXPECT_EQ (fileBytes (w.backups.indexFile()), indexBytes);
    EXPECT_TRUE (filesOfUndone());
    ASSERT_TRUE (inTheWay.getParentDirectory().deleteRecursively());
    ASSERT_TRUE (w.browser->saveArchive());
    EXPECT_FALSE (undone.exists() || undone.withFileExtension ("xml").exists());
}

TEST (SourceBrowser, UniqueTitlesCountTheNumberedSiblings)
{
    auto group = createSourceNode (SourceIds::group, "G");
    EXPECT_EQ (SourceDataBrowser::makeUniqueTitle (group, "Set"), "Set");
    group.appendChild (createSourceNode (SourceIds::node, "Set"), nullptr);
    EXPECT_EQ (SourceDataBrowser::makeUniqueTitle (group, "Set"), "Set (2)");
    group.appendChild (createSourceNode (SourceIds::node, "Set (2)"), nullptr);
    group.appendChild (createSourceNode (SourceIds::node, "Setlist"), nullptr);
    EXPECT_EQ (SourceDataBrowser::makeUniqueTitle (group, "Set"), "Set (3)");
    group.removeChild (0, nullptr);   // only "Set (2)" is left: the next free number
    EXPECT_EQ (SourceDataBrowser::makeUniqueTitle (group, "Set"), "Set (3)");
}

TEST (SourceBrowser, RenamingAnItemWritesItsNewTitleAndUndoes)
{
    BrowserWorld w;
    auto studio = w.studio();
    w.browser->selectSource (studio);
    w.item (studio)->itemDoubleClicked (juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), {}, {},
                                             0.0f, 0.0f, 0.0f, 0.0f, 0.0f, w.browser.get(), w.browser.get(),
                                             juce::Time(), {}, juce::Time(), 2, false));
    auto& editor = w.browser->getRenameEditor();
    ASSERT_TRUE (editor.isVisible());
    EXPECT_EQ (editor.getText(), "Studio");
    EXPECT_TRUE (editor.getHighlightedRegion().isEmpty());   // a double-click does not select the text

    editor.setText ("Studio Rig", false);
    w.browser->textEditorReturnKeyPressed (editor);
    EXPECT_FALSE (editor.isVisible());
    EXPECT_EQ (studio[SourceIds::label].toString(), "Studio Rig");
    EXPECT_EQ (getSourceNodeArchive (studio)->getTitle(), "Studio Rig");
    EXPECT_EQ (readXml (w.studioFile)->getChildByName ("title")->getAllSubText(), "Studio Rig");
    EXPECT_EQ (w.page.archiveNotices.size(), 1u);

    // Escape leaves everything as it is.
    w.browser->startRename (true);
    EXPECT_EQ (editor.getHighlightedRegion().getLength(), juce::String ("Studio Rig").length());
    editor.setText ("Discarded", false);
    w.browser->textEditorEscapeKeyPressed (editor);
    EXPECT_FALSE (editor.isVisible());
    w.browser->textEditorFocusLost (editor);
    EXPECT_EQ (studio[SourceIds::label].toString(), "Studio Rig");

    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (studio[SourceIds::label].toString(), "Studio");
    EXPECT_EQ (getSourceNodeArchive (studio)->getTitle(), "Studio");
}

TEST (SourceBrowser, AFailedSaveIsReportedAndLeavesTheOldFiles)
{
    BrowserWorld w;
    auto studio = w.studio();
    // The data file becomes a link: the item may no longer write there.
    const auto data = w.studioFile.withFileExtension ("ard");
    const auto real = w.backups.home.getFolder().getChildFile ("elsewhere.ard");
    ASSERT_TRUE (data.moveFileTo (real));
    ASSERT_TRUE (real.createSymbolicLink (data, true));
    const auto metaBefore = fileBytes (w.studioFile);
    const auto dataBefore = fileBytes (real);

    w.browser->selectSource (studio);
    w.browser->startRename (true);
    w.browser->getRenameEditor().setText ("Renamed", false);
    w.browser->textEditorReturnKeyPressed (w.browser->getRenameEditor());

    EXPECT_EQ (w.dialogs.titles(), juce::StringArray ({ "File Error" }));
    EXPECT_EQ (fileBytes (w.studioFile), metaBefore);
    EXPECT_EQ (fileBytes (real), dataBefore);
    EXPECT_TRUE (data.isSymbolicLink());
    EXPECT_EQ (studio[SourceIds::label].toString(), "Renamed");   // kept in memory for the next save
}

TEST (SourceBrowser, DeletingBackupsRemovesTheirFilesAndUndoBringsThemBack)
{
    BrowserWorld w;
    const auto studioData = w.studioFile.withFileExtension ("ard");
    const auto gigData = w.gigFile.withFileExtension ("ard");
    const auto studioBytes = fileBytes (studioData);
    const auto gigBytes = fileBytes (gigData);

    w.select ({ w.studio(), w.gigs() });
    w.browser->deleteSelected();
    EXPECT_FALSE (w.studio().isValid());
    EXPECT_FALSE (w.gigs().isValid());
    EXPECT_FALSE (w.studioFile.exists());
    EXPECT_FALSE (studioData.exists());
    EXPECT_FALSE (gigData.exists());
    EXPECT_EQ (w.indexedTitles(), juce::StringArray ({ "Demo" }));
    EXPECT_EQ (w.browser->getSelectedNodes(), juce::Array<juce::ValueTree> ({ w.archiveNode }));

    // One transaction: both come back, in their places, with their files.
    ASSERT_TRUE (w.page.undoStep (w.browser.get()));
    EXPECT_EQ (w.archiveNode.getChild (0), w.gigs());
    EXPECT_EQ (w.archiveNode.getChild (1), w.studio());
    EXPECT_EQ (fileBytes (studioData), studioBytes);
    EXPECT_EQ (fileBytes (gigData), gigBytes);
    EXPECT_TRUE (w.studioFile.existsAsFile());
    // The index lists them again at once: a fresh manager finds all three.
    EXPECT_EQ (w.indexedTitles(), juce::StringArray ({ "Gigs/Gig A", "Studio", "Demo" }));
    auto again = w.backups.makeManager();
    ASSERT_TRUE (again->buildTree());
    EXPECT_EQ (again->getTree().getNumChildren(), 3);
    // Redone, the delete takes them off disk and out of the index again; undone, it brings them back.
    ASSERT_TRUE (w.page.redoStep (w.browser.get()));
    EXPECT_FALSE (studioData.exists() || gigData.exists());
    EXPECT_FALSE (w.backups.indexFile().loadFileAsString().contains (w.studioFile.getFullPathName()));
    ASSERT_TRUE (w.page.undoStep (w.browser.get()));

    // An undo that cannot write the files of two backups back says so in one box, after the step.
    w.select ({ w.studio(), w.demo() });
    w.browser->deleteSelected();
    for (auto& description : { w.studioFile, w.demoFile })
        ASSERT_TRUE (description.createDirectory());   // the description's place is taken
    bool shownInTheStep = false;
    w.dialogs.onBox = [&] (auto&) { shownInTheStep = shownInTheStep || w.page.undoManager.isPerformingUndoRedo(); };
    ASSERT_TRUE (w.page.undoStep (w.browser.get()));
    EXPECT_EQ (w.dialogs.titles(), juce::StringArray ({ "File Error" }));
    EXPECT_FALSE (shownInTheStep);
    w.studioFile.deleteRecursively();
    w.demoFile.deleteRecursively();

    // Neither the unit nor the categories can be deleted; the keys delete too.
    w.select ({ w.deviceNode });
    w.browser->deleteSelected();
    w.select ({ w.archiveNode });
    w.browser->deleteSelected();
    EXPECT_TRUE (w.deviceNode.getParent().isValid());
    EXPECT_TRUE (w.archiveNode.getParent().isValid());

    w.select ({ w.demo() });
    EXPECT_FALSE (w.browser->keyPressed (juce::KeyPress (juce::KeyPress::deleteKey)));
    EXPECT_FALSE (w.demo().isValid());
    EXPECT_FALSE (w.demoFile.exists());
}

TEST (SourceBrowser, GroupsAreNamedInTurnAndGroupingMovesTheSelection)
{
    BrowserWorld w;
    w.browser->selectSource (w.archiveNode);
    w.browser->createGroup();
    auto first = w.child (w.archiveNode, "New Group");
    ASSERT_TRUE (first.isValid());
    EXPECT_TRUE (first.hasType (SourceIds::group));
    EXPECT_TRUE (w.browser->getRenameEditor().isVisible());
    EXPECT_EQ (w.browser->getRenameEditor().getHighlightedText(), "New Group");
    w.browser->textEditorEscapeKeyPressed (w.browser->getRenameEditor());

    w.select ({ w.studio(), w.demo() });
    w.browser->groupSelected();
    auto second = w.child (w.archiveNode, "New Group 2");
    ASSERT_TRUE (second.isValid());
    EXPECT_EQ (second.getNumChildren(), 2);
    EXPECT_EQ (w.studio().getParent(), juce::ValueTree());   // no longer at the top
    EXPECT_TRUE (w.indexedTitles().contains ("New Group 2/Studio"));
    EXPECT_TRUE (w.indexedTitles().contains ("New Group 2/Demo"));

    // One undo puts them back where they were.
    w.browser->textEditorEscapeKeyPressed (w.browser->getRenameEditor());
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_FALSE (w.child (w.archiveNode, "New Group 2").isValid());
    EXPECT_TRUE (w.studio().isValid());
    EXPECT_TRUE (w.demo().isValid());

    // A group selected with its own contents is never moved into itself.
    auto gigs = w.gigs();
    w.item (gigs)->setOpen (true);
    auto gigItem = gigs.getChild (0);
    w.select ({ gigs, gigItem });
    w.browser->groupSelected();
    auto third = w.child (w.archiveNode, "New Group 3");
    ASSERT_TRUE (third.isValid());
    EXPECT_EQ (gigs.getParent(), third);
    EXPECT_EQ (gigItem.getParent(), gigs);
}

TEST (SourceBrowser, DuplicatesAreNewItemsWithTheirOwnFiles)
{
    BrowserWorld w;
    const auto before = snapshotFolder (w.backups.dataFolder());
    w.browser->selectSource (w.studio());
    w.browser->duplicateSelected();
    w.browser->selectSource (w.studio());
    w.browser->duplicateSelected();

    auto copy = w.child (w.archiveNode, "Studio copy");
    auto copy2 = w.child (w.archiveNode, "Studio copy (2)");
    ASSERT_TRUE (copy.isValid());
    ASSERT_TRUE (copy2.isValid());
    auto* item = getSourceNodeArchive (copy);
    EXPECT_NE (item->getUuid(), getSourceNodeArchive (w.studio())->getUuid());
    EXPECT_NE (item->getLinkData(), getSourceNodeArchive (w.studio())->getLinkData());
    EXPECT_TRUE (juce::File (item->getLinkData()).existsAsFile());
    EXPECT_EQ (getSourceNodeWorkingData (copy)->getPresetIndices(), juce::Array<int> ({ 2, 4 }));

    // The original's files are untouched.
    for (auto& [path, bytes] : before)
        if (path.startsWith ("studio"))
            EXPECT_EQ (fileBytes (w.backups.dataFolder().getChildFile (path)), bytes) << path;

    // Copies never share data.
    getSourceNodeWorkingData (copy)->removeAllPresets();
    EXPECT_EQ (getSourceNodeWorkingData (w.studio())->countPresets(), 2);
}

TEST (SourceBrowser, CloudItemsAreCopiedToTheBackupsAndOnlyUploadsCanBeDeleted)
{
    BrowserWorld w;
    auto cloud = createCloudSourceNode();
    auto user = createSourceNode (SourceIds::subCategory, "Ana");
    user.setProperty (SourceIds::subCategory, SourceCategories::user, nullptr);
    auto uploads = createSourceNode (SourceIds::subCategory, "Uploads");
    uploads.setProperty (SourceIds::subCategory, SourceCategories::uploadFolder, nullptr);
    auto packs = createSourceNode (SourceIds::subCategory, "Packs");
    packs.setProperty (SourceIds::subCategory, "pack", nullptr);
    auto packData = versionUnit (w.backups.newFormat, { 3, 8 });
    auto packItem = makeArchiveNode (*packData, "Choir Pack");
    auto uploadData = versionUnit (w.backups.newFormat, { 9 });
    auto uploaded = makeArchiveNode (*uploadData, "My Upload");
    packs.appendChild (packItem, nullptr);
    uploads.appendChild (uploaded, nullptr);
    user.appendChild (uploads, nullptr);
    cloud.appendChild (user, nullptr);
    cloud.appendChild (packs, nullptr);
    w.page.root.appendChild (cloud, nullptr);
    w.browser->setRoot (&w.page, w.page.root);

    w.browser->selectSource (packItem);
    EXPECT_EQ (textsOf (w.browser->createContextMenu()),
               juce::StringArray ({ "11 Send 'Choir Pack' To Veloce 1", "13 Copy 'Choir Pack' To Workspace",
                                    "14 Create Local Archive Of 'Choir Pack'" }));
    w.browser->selectSource (user);
    EXPECT_EQ (textsOf (w.browser->createContextMenu()),
               juce::StringArray ({ "15 Synchronize", "16 Upload Data To My Account" }));

    // A pack item becomes a local backup of its own.
    w.browser->selectSource (packItem);
    w.browser->performContextMenuItem (14);
    auto local = w.child (w.archiveNode, "Choir Pack copy");
    ASSERT_TRUE (local.isValid());
    EXPECT_EQ (getSourceNodeWorkingData (local)->getPresetIndices(), juce::Array<int> ({ 3, 8 }));
    EXPECT_TRUE (w.indexedTitles().contains ("Choir Pack copy"));
    EXPECT_TRUE (packItem.getParent().isValid());

    // Packs stay; an upload goes, and the upload folder is selected afterwards.
    w.browser->deleteSelected();
    EXPECT_TRUE (packItem.getParent().isValid());
    w.browser->selectSource (uploaded);
    w.browser->deleteSelected();
    EXPECT_FALSE (uploaded.getParent().isValid());
    EXPECT_EQ (w.browser->getSelectedNodes(), juce::Array<juce::ValueTree> ({ uploads }));
    w.browser->deleteSelected();
    EXPECT_TRUE (uploads.getParent().isValid());

    // Groups are bold; inside an upload folder also italic.
    auto folder = createSourceNode (SourceIds::group, "Live");
    uploads.appendChild (folder, nullptr);
    ASSERT_NE (w.item (folder), nullptr);
    EXPECT_TRUE (w.item (folder)->getFont().isBold());
    EXPECT_TRUE (w.item (folder)->getFont().isItalic());
    EXPECT_FALSE (w.item (w.gigs())->getFont().isItalic());
}
