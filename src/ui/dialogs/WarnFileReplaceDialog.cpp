#include "ui/dialogs/WarnFileReplaceDialog.h"
#include "core/DialogService.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/DialogMetrics.h"

WarnFileReplaceDialog::WarnFileReplaceDialog (juce::Component* parent, const juce::String& title,
                                              const juce::String& text1, const juce::String& text2,
                                              bool offerApplyToAll)
    : juce::DialogWindow (title, paletteColour090, true, false)
{
    if (auto* ls = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        ls->applyTitleBarHeight (*this);
    content = new FileReplaceComponent (text1, text2, offerApplyToAll);
    setContentOwned (content, true);
    setResizable (false, false);
    DialogMetrics::centre (*this, parent);
}

WarnFileReplaceDialog::~WarnFileReplaceDialog() = default;

void WarnFileReplaceDialog::closeButtonPressed()
{
    setVisible (false);
}

int WarnFileReplaceDialog::run (juce::Component* parent, const juce::String& title, const juce::String& text1,
                                const juce::String& text2, bool offerApplyToAll)
{
    WarnFileReplaceDialog dialog (parent, title, text1, text2, offerApplyToAll);
    const int r = getDialogService().runModalWindow (dialog);
    // Anything but a button's answer (the window closed, Escape) keeps the file.
    return r >= FileReplaceComponent::keep && r <= FileReplaceComponent::replaceAll
               ? (offerApplyToAll ? r : (r & FileReplaceComponent::replace))
               : FileReplaceComponent::keep;
}
