#include "ui/datapage/SourceTreeItem.h"
#include "archive/DataSourceTree.h"
#include "device/DeviceObject.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/datapage/SourceDataBrowser.h"

const char* const SourceTreeItem::dragDescription = "SourceTreeItems";

SourceTreeItem::SourceTreeItem (SourceDataBrowser& b, const juce::ValueTree& n, juce::UndoManager* undo)
    : node (n), browser (b), undoManager (undo)
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&browser.getLookAndFeel()))
    {
        scale = laf->getScale();
        fontHeight = laf->getFontHeightA();
        typefaceName = laf->getSansSerifTypefaceName();
    }
    icon = createSourceNodeIcon (node);
    node.addListener (this);
}

SourceTreeItem::~SourceTreeItem()
{
    node.removeListener (this);
}

//==============================================================================
bool SourceTreeItem::mightContainSubItems()
{
    return node.getNumChildren() > 0;
}

juce::String SourceTreeItem::getUniqueName() const
{
    return node[SourceIds::id].toString();
}

void SourceTreeItem::itemOpennessChanged (bool isNowOpen)
{
    if (isNowOpen)
    {
        if (getNumSubItems() == 0)
            buildSubItems();
    }
    else
    {
        clearSubItems();
    }
}

void SourceTreeItem::buildSubItems()
{
    for (const auto& child : node)
        addSubItem (new SourceTreeItem (browser, child, undoManager));
}

void SourceTreeItem::rebuildSubItems()
{
    // Open groups stay open across the rebuild.
    auto openness = getOpennessState();
    clearSubItems();
    if (isOpen())
        buildSubItems();
    if (openness != nullptr)
        restoreOpennessState (*openness);
    treeHasChanged();
}

SourceTreeItem* SourceTreeItem::findItemFor (const juce::ValueTree& target)
{
    if (node == target)
        return this;
    if (! target.isAChildOf (node))
        return nullptr;

    if (! isOpen())
        setOpen (true);
    if (getNumSubItems() == 0)
        buildSubItems();

    for (int i = 0; i < getNumSubItems(); ++i)
        if (auto* item = dynamic_cast<SourceTreeItem*> (getSubItem (i)))
            if (auto* found = item->findItemFor (target))
                return found;
    return nullptr;
}

//==============================================================================
juce::Font SourceTreeItem::getFont() const
{
    const bool isCategory = node.hasType (SourceIds::category);
    juce::Font font (typefaceName.isNotEmpty() ? typefaceName : juce::Font::getDefaultSansSerifFontName(),
                     isCategory ? fontHeight * 16.0f / 14.0f : fontHeight, juce::Font::plain);

    // Categories are bold headings; groups bold, upload folders also italic.
    if (isCategory || node.hasType (SourceIds::group))
        font.setBold (true);
    if (node.hasType (SourceIds::group))
    {
        juce::String category, subCategory;
        getSourceNodeCategory (node, category, subCategory);
        if (subCategory == SourceCategories::uploadFolder)
            font.setItalic (true);
    }
    return font;
}

int SourceTreeItem::getItemHeight() const
{
    const float f = getFont().getHeight() / scale;
    const auto parent = node.getParent();

    double height;
    if (node.hasType (SourceIds::category) && node[SourceIds::category].toString() == SourceCategories::device)
    {
        height = scale * 120.0;
        if (icon != nullptr)
        {
            const auto bounds = icon->getDrawableBounds();
            if (bounds.getHeight() > 0 && bounds.getWidth() > 2.5f * bounds.getHeight())
                height = scale * juce::jmax (200.0 / (bounds.getWidth() / bounds.getHeight()), 70.0);
        }
    }
    else if (node.hasType (SourceIds::category))
        height = scale * f * 2.1;
    else if (node.hasType (SourceIds::group))
        height = scale * f * 1.92;
    else if (parent.isValid() && parent[SourceIds::category].toString() == SourceCategories::device)
        height = scale * 100.0;
    else
        height = scale * f * 1.8;

    return juce::roundToInt (height);
}

bool SourceTreeItem::canBeSelected() const
{
    const auto mods = juce::ModifierKeys::currentModifiers;
    if (! (mods.isShiftDown() || mods.isCtrlDown() || mods.isCommandDown()))
        return true;

    auto* view = getOwnerView();
    auto* first = view != nullptr ? dynamic_cast<SourceTreeItem*> (view->getSelectedItem (0)) : nullptr;
    if (first == nullptr || first == this)
        return true;

    // A selection only grows by items of the same kind and place.
    if (! (node.hasType (SourceIds::node) || node.hasType (SourceIds::group)))
        return false;
    juce::String category, subCategory, firstCategory, firstSubCategory;
    getSourceNodeCategory (node, category, subCategory);
    getSourceNodeCategory (first->getNode(), firstCategory, firstSubCategory);
    return category == firstCategory && subCategory == firstSubCategory;
}

juce::String SourceTreeItem::getPresetsLine() const
{
    auto* page = browser.getPage();
    if (page == nullptr)
        return {};
    auto* set = page->getDataSet();
    auto* live = set != nullptr ? set->getDevice() : nullptr;
    const auto& caps = page->getCaps();
    if (live == nullptr || ! caps.isBuildValid())
        return "Presets: n/a";
    const int numPresets = caps.getNumPresets();
    if (numPresets < 1)
        return {};

    int filled = 0;
    const juce::ScopedLock dl (DeviceObject::getUnitDataLock());
    for (int slot = 1; slot < live->getNumSlots(); ++slot)
        if (live->hasPreset (slot))
            ++filled;
    return "Presets: " + juce::String (filled) + "/" + juce::String (numPresets - 1);
}

void SourceTreeItem::paintItem (juce::Graphics& g, int width, int height)
{
    const bool selected = isSelected();
    if (selected)
    {
        g.setColour (paletteColour099);
        g.fillRect (0, 0, width, height);
    }
    const auto textColour = selected ? paletteColour026 : paletteColour098;

    const bool isDevice = node.hasType (SourceIds::category)
                          && node[SourceIds::category].toString() == SourceCategories::device;
    const int margin = juce::roundToInt (2.0f * scale);

    // The picture on the left, in a square of the row's height (a third of the width at most).
    const int iconSize = juce::jmin (height - 2 * margin, width / 3);
    int textX = margin;
    if (iconSize > 4)
    {
        if (icon != nullptr)
        {
            icon->drawWithin (g, juce::Rectangle<float> ((float) margin, (float) margin, (float) iconSize, (float) iconSize),
                              juce::RectanglePlacement::centred, 1.0f);
        }
        textX = margin * 2 + iconSize;
    }

    const auto font = getFont();
    g.setColour (textColour);
    g.setFont (font);
    const int textWidth = juce::jmax (0, width - textX - margin);
    const auto label = node[SourceIds::label].toString();

    if (isDevice)
    {
        const auto line = getPresetsLine();
        const int half = height / 2;
        g.drawFittedText (label, textX, 0, textWidth, line.isEmpty() ? height : half,
                          line.isEmpty() ? juce::Justification::centredLeft : juce::Justification::bottomLeft, 1);
        if (line.isNotEmpty())
        {
            g.setFont (font.withHeight (font.getHeight() * 13.0f / 16.0f).withStyle (juce::Font::plain));
            g.drawFittedText (line, textX, half, textWidth, height - half, juce::Justification::topLeft, 1);
        }
    }
    else
    {
        g.drawFittedText (label, textX, 0, textWidth, height, juce::Justification::centredLeft, 1);
    }
}

void SourceTreeItem::itemDoubleClicked (const juce::MouseEvent& e)
{
    // An archive item is renamed in place; anything else opens or closes.
    juce::String category, subCategory;
    getSourceNodeCategory (node, category, subCategory);
    if (category == SourceCategories::archive && ! node.hasType (SourceIds::category))
    {
        browser.startRename (false);
        return;
    }
    juce::TreeViewItem::itemDoubleClicked (e);
}

void SourceTreeItem::itemSelectionChanged (bool isNowSelected)
{
    if (isNowSelected)
        browser.notifySelectionChanged();
}

juce::var SourceTreeItem::getDragSourceDescription()
{
    if (node.hasType (SourceIds::node) || node.hasType (SourceIds::group))
        return dragDescription;

    // Of the categories only the unit, and only while it holds something to give.
    if (node.hasType (SourceIds::category) && node[SourceIds::category].toString() == SourceCategories::device)
        if (auto* working = getSourceNodeWorkingData (node))
            if (working->countPresets() > 0 || working->getSetup().isComplete())
                return dragDescription;
    return {};
}

bool SourceTreeItem::isInterestedInDragSource (const juce::DragAndDropTarget::SourceDetails& details)
{
    return browser.canDrop (node, details);
}

void SourceTreeItem::itemDropped (const juce::DragAndDropTarget::SourceDetails& details, int insertIndex)
{
    auto* view = getOwnerView();
    const bool onto = view == nullptr || view->getItemAt (details.localPosition.y) == this;
    browser.dropOnto (node, insertIndex, onto, details);
}

//==============================================================================
void SourceTreeItem::valueTreePropertyChanged (juce::ValueTree& changed, const juce::Identifier&)
{
    if (changed == node)
    {
        icon = createSourceNodeIcon (node);
        repaintItem();
    }
}

void SourceTreeItem::valueTreeChildAdded (juce::ValueTree& parent, juce::ValueTree&)
{
    if (parent == node)
        rebuildSubItems();
}

void SourceTreeItem::valueTreeChildRemoved (juce::ValueTree& parent, juce::ValueTree&, int)
{
    if (parent == node)
        rebuildSubItems();
}

void SourceTreeItem::valueTreeChildOrderChanged (juce::ValueTree& parent, int, int)
{
    if (parent == node)
        rebuildSubItems();
}
