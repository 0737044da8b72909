#pragma once

#include "ui/TextOnlyButton.h"
#include "ui/dialogs/MenuToggleItem.h"
#include "ui/dialogs/SelectAllButton.h"

// The tag filter of the Find Preset dialog: a click opens a menu with one on/off
// entry per tag of the product and a Select All / Select None entry. Every change of
// the chosen tags calls `onChange`.
class TagMenuButton : public TextOnlyButton
{
public:
    TagMenuButton();
    ~TagMenuButton() override;

    static constexpr const char* tooltipText = "Filter results by tags";
    // The id of the Select All entry; tag i has the id i + 1.
    static constexpr int selectAllItemId = 1000;

    std::function<void()> onChange;

    // The product's tags (at most the tag field's 28 are used) and the chosen ones (bit i = tag i).
    void setTags (const juce::StringArray& labels, int mask);
    const juce::StringArray& getTagLabels() const noexcept { return labels; }
    int getTagCount() const noexcept { return labels.size(); }
    int getTagMask() const noexcept { return mask; }
    int getAllTagsMask() const noexcept;
    bool isTagOn (int index) const noexcept { return juce::isPositiveAndBelow (index, getTagCount()) && (mask & (1 << index)) != 0; }

    // What a click on a tag entry does.
    void toggleTag (int index);
    // What the Select All entry does: every tag on (true) or off (false).
    void selectAllTags (bool on);

    SelectAllButton& getSelectAllButton() noexcept { return selectAllButton; }

    // The menu a click shows (the entries act while it is open).
    juce::PopupMenu createMenu();
    // Acts on a menu result (an entry id, or 0 for none).
    void handleMenuResult (int itemId);

    void clicked() override;

private:
    void changed();

    juce::StringArray labels;
    int mask = 0;
    SelectAllButton selectAllButton;
    juce::Array<juce::Component::SafePointer<MenuToggleItem>> openItems;

    JUCE_DECLARE_NON_COPYABLE (TagMenuButton)
};
