// The grid's context menu at the pointer, and what each of its items does.

#include "ui/datapage/PresetButtonContainer.h"
#include "core/DialogService.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "ui/LSLookAndFeel.h"

namespace
{
    juce::String plural (int count) { return count > 1 ? "s" : ""; }
}

juce::PopupMenu PresetButtonContainer::createContextMenu()
{
    const int s = selection.size();
    const int k = clipboard != nullptr ? clipboard->countPresets() : 0;
    const bool readOnly = isSourceReadOnly();
    const bool canPaste = clipboard != nullptr && ! readOnly;
    const bool canEdit = caps.hasPresetDelete() && ! readOnly;

    juce::PopupMenu menu;
    menu.addItem (selectAllId, "Select All Presets");
    menu.addItem (selectUserId, "Select User Presets");
    menu.addSeparator();
    menu.addItem (cutId, "Cut", s > 0 && canEdit);
    menu.addItem (copyId, "Copy", s > 0);
    menu.addItem (insertId, "Insert", canPaste);
    menu.addItem (pasteId, "Paste", canPaste);

    juce::PopupMenu pasteSpecial;
    pasteSpecial.addItem (pasteToSelectedId, "Paste to Selected", s > 0);
    pasteSpecial.addItem (pasteToOriginalId, "Paste to Original Location" + plural (k), canPaste);
    pasteSpecial.addItem (pasteToEmptyId, "Paste to Empty Location" + plural (k), canPaste);
    menu.addSubMenu ("Paste Special", pasteSpecial, canPaste);

    menu.addItem (deleteId, "Delete Selected Preset" + plural (s), s > 0 && canEdit);
    menu.addSeparator();
    menu.addItem (undoId, "Undo", page != nullptr && page->canUndo());
    menu.addItem (redoId, "Redo", page != nullptr && page->canRedo());
    menu.addSeparator();

    auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel());
    const int itemHeight = laf != nullptr ? juce::roundToInt (laf->getFontHeightA() * 1.25f) : 14;
    scaleSlider = std::make_unique<juce::Slider> (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
    scaleSlider->setRange (minScale, maxScale, 0.05);
    scaleSlider->setValue (viewType == 0 ? cellScale : iconScale, juce::dontSendNotification);
    scaleSlider->addListener (this);

    juce::PopupMenu buttonSize;
    buttonSize.addCustomItem (scaleSliderId, *scaleSlider, 150, itemHeight, false, nullptr, "Button Size");
    buttonSize.addSeparator();
    buttonSize.addItem (resetScaleId, "Reset to Default");
    menu.addSubMenu ("Button Size", buttonSize);

    auto* d = data.get();
    juce::PopupMenu send;
    if (showsConnectedUnit)
        send.addItem (sendAllChangesId, "All Changes", countPendingChanges() > 0);
    send.addItem (sendSelectedId, "Selected Preset" + plural (s), s > 0);
    send.addItem (sendSetupId, "Setup", d != nullptr && d->getSetup().isComplete());
    menu.addSubMenu ("Send to " + (page != nullptr ? page->getConnectedDeviceName() : juce::String()), send);

    return menu;
}

void PresetButtonContainer::showContextMenu (const juce::MouseEvent& e)
{
    // The item acts on the slot pressed, remembered now: the menu runs no modal loop, and the
    // button pressed may have gone by the time an item is chosen.
    auto* clicked = dynamic_cast<PresetButton*> (e.eventComponent);
    const int clickedSlot = clicked != nullptr ? clicked->getSlot() : 1;
    getDialogService().showPopupMenuAtPointerAsync (createContextMenu(), this, [this, clickedSlot] (int id)
    {
        if (id != 0)
            performMenuCommand (id, clickedSlot);
    });
}

void PresetButtonContainer::sliderValueChanged (juce::Slider* slider)
{
    if (slider == scaleSlider.get())
        setScale (slider->getValue());
}

void PresetButtonContainer::performMenuCommand (int id, int clickedSlot)
{
    const bool fromClick = clickedSlot != noClick;

    switch (id)
    {
        case selectAllId:  selectPresets (false); break;
        case selectUserId: selectPresets (true); break;
        case cutId:        cutSelected(); break;
        case copyId:       copySelected(); break;

        case insertId:
            if (clipboard != nullptr && fromClick)
                insertClipboardAt (clickedSlot);
            break;

        case pasteId:
            if (clipboard != nullptr && fromClick)
                pasteClipboardTo (followingSlots (clickedSlot, clipboard->countPresets()));
            break;

        case pasteToSelectedId:
            pasteClipboardTo (selection);
            break;

        case pasteToOriginalId:
            if (clipboard != nullptr)
                pasteClipboardTo (clipboard->getPresetIndices());
            break;

        case pasteToEmptyId:
            if (clipboard != nullptr && data != nullptr)
            {
                auto empty = data->getEmptySlots (data->getNumSlots() - 1);
                empty.removeAllInstancesOf (0);
                const int k = clipboard->countPresets();
                if (empty.size() > k)
                    empty.removeRange (k, empty.size() - k);
                pasteClipboardTo (empty);
            }
            break;

        case deleteId:  deleteSelected(); break;
        case undoId:    if (page != nullptr) page->undo(); break;
        case redoId:    if (page != nullptr) page->redo(); break;
        case resetScaleId: setScale (1.0); break;

        case toggleEmptySlotsId:
            showEmptySlots = ! showEmptySlots;
            setViewType (viewType);
            break;

        case toggleViewId:
            setViewType (viewType == 0 ? 1 : 0);
            break;

        case sendAllChangesId:
        case sendSelectedId:
        case sendSetupId:
        {
            const int command = id == sendAllChangesId ? (int) AppCommand::applyChanges
                              : id == sendSelectedId   ? (int) AppCommand::sendDirectToDevice
                                                       : (int) AppCommand::restoreSetup;
            getCommandManager().invokeDirectly (command, false);
            break;
        }

        default:
            break;
    }
}
