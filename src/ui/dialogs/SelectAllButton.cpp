#include "ui/dialogs/SelectAllButton.h"

SelectAllButton::SelectAllButton()
    : TextOnlyButton ("btnSelectAll", {}, juce::Justification::centredLeft)
{
    setButtonText (selectAllText);
}

void SelectAllButton::clicked()
{
    const bool selectAll = showsSelectAll();
    setShowsSelectAll (! selectAll);
    if (onSelect != nullptr)
        onSelect (selectAll);
}
