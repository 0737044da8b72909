#include "ui/dialogs/TagMenuButton.h"
#include "core/DialogService.h"
#include "ui/dialogs/SearchThread.h"

TagMenuButton::TagMenuButton()
    : TextOnlyButton ("btnTags", tooltipText)
{
    setButtonText ("Tags");
    selectAllButton.onSelect = [this] (bool on) { selectAllTags (on); };
}

TagMenuButton::~TagMenuButton() = default;

int TagMenuButton::getAllTagsMask() const noexcept
{
    return SearchThread::makeAllTagsMask (getTagCount());
}

void TagMenuButton::setTags (const juce::StringArray& newLabels, int newMask)
{
    labels = newLabels;
    labels.removeRange (SearchThread::maxTagCount, labels.size());
    mask = newMask & getAllTagsMask();
    // Offer to select all unless everything is chosen already.
    selectAllButton.setShowsSelectAll (mask != getAllTagsMask() || getTagCount() == 0);
}

void TagMenuButton::toggleTag (int index)
{
    if (! juce::isPositiveAndBelow (index, getTagCount()))
        return;
    mask ^= (1 << index);
    changed();
}

void TagMenuButton::selectAllTags (bool on)
{
    mask = on ? getAllTagsMask() : 0;
    for (auto& item : openItems)
        if (item != nullptr)
            item->repaint();
    changed();
}

void TagMenuButton::changed()
{
    if (onChange != nullptr)
        onChange();
}

juce::PopupMenu TagMenuButton::createMenu()
{
    openItems.clear();
    juce::PopupMenu menu;
    for (int i = 0; i < getTagCount(); ++i)
    {
        auto item = std::make_unique<MenuToggleItem> (labels[i], [this, i] { return isTagOn (i); },
                                                      [this, i] { toggleTag (i); });
        openItems.add (item.get());
        menu.addCustomItem (i + 1, std::move (item), nullptr, labels[i]);
    }

    if (getTagCount() > 0)
        menu.addSeparator();

    const int height = juce::jmax (16, juce::roundToInt (getLookAndFeel().getPopupMenuFont().getHeight() * 1.6f));
    menu.addCustomItem (selectAllItemId, selectAllButton, selectAllButton.getBestWidth() + height, height, false,
                        nullptr, selectAllButton.getButtonText());
    return menu;
}

void TagMenuButton::handleMenuResult (int itemId)
{
    if (itemId == selectAllItemId)
        selectAllButton.clicked();
    else if (itemId > 0)
        toggleTag (itemId - 1);
}

void TagMenuButton::clicked()
{
    auto menu = createMenu();
    const int result = getDialogService().showPopupMenu (menu, this);
    openItems.clear();
    handleMenuResult (result);
}
