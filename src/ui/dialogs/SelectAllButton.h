#pragma once

#include "ui/TextOnlyButton.h"
#include <functional>

// The last entry of the tag menu: "Select All" turns every tag on, "Select None"
// every tag off; each click swaps the label.
class SelectAllButton : public TextOnlyButton
{
public:
    SelectAllButton();

    static constexpr const char* selectAllText = "Select All";
    static constexpr const char* selectNoneText = "Select None";

    // Called with true to turn every tag on, false to turn every tag off.
    std::function<void (bool)> onSelect;

    bool showsSelectAll() const { return getButtonText() == selectAllText; }
    void setShowsSelectAll (bool selectAll) { setButtonText (selectAll ? selectAllText : selectNoneText); }

    void clicked() override;

private:
    JUCE_DECLARE_NON_COPYABLE (SelectAllButton)
};
