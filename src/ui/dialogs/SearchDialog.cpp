#include "ui/dialogs/SearchDialog.h"
#include "core/Settings.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

SearchDialog::SearchDialog (const juce::Array<juce::ValueTree>& deviceSources,
                            const juce::Array<juce::ValueTree>& backupSources,
                            const juce::Array<juce::ValueTree>& cloudSources,
                            int productId, const juce::StringArray& tagLabels,
                            SearchResultTarget& target)
    : juce::DialogWindow (title, paletteColour090, true, false)
{
    setUsingNativeTitleBar (false);
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        laf->applyTitleBarHeight (*this);
    auto* content = new SearchContent (deviceSources, backupSources, cloudSources, productId, tagLabels, target);
    content->onFinished = [this] { closeDialog(); };
    setContentOwned (content, true);
    setResizable (true, false);

    setTopLeftPosition (getSettingInt (SettingsKeys::presetSearchWindowPositionX, defaultX),
                        getSettingInt (SettingsKeys::presetSearchWindowPositionY, defaultY));
}

SearchDialog::~SearchDialog()
{
    closeDialog();
}

SearchContent* SearchDialog::getSearchContent() const
{
    return dynamic_cast<SearchContent*> (getContentComponent());
}

void SearchDialog::open()
{
    if (closed)
        return;
    if (! isOnDesktop())
        addToDesktop();
    setVisible (true);
    toFront (true);
    if (auto* content = getSearchContent())
        content->getSearchField().grabKeyboardFocus();
}

void SearchDialog::focusGained (FocusChangeType)
{
    // The window takes the keyboard when it becomes active (or its frame is clicked):
    // the query field is where typing goes.
    if (auto* content = getSearchContent())
        content->getSearchField().grabKeyboardFocus();
}

void SearchDialog::closeDialog()
{
    if (closed)
        return;
    closed = true;

    setSetting (SettingsKeys::presetSearchWindowPositionX, getX());
    setSetting (SettingsKeys::presetSearchWindowPositionY, getY());
    setVisible (false);
    clearContentComponent();

    if (onClosed != nullptr)
    {
        juce::Component::SafePointer<SearchDialog> safeThis (this);
        juce::MessageManager::callAsync ([safeThis]
        {
            // The owner may delete the window in the callback: a copy runs, so that nothing
            // the callback holds goes with the window while it still runs.
            if (safeThis != nullptr && safeThis->onClosed != nullptr)
            {
                const auto callback = safeThis->onClosed;
                callback();
            }
        });
    }
}

void SearchDialog::closeButtonPressed()
{
    closeDialog();
}
