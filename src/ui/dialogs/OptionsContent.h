#pragma once

#include "ui/OptionsDialogLaf.h"
#include "ui/dialogs/DataOptionsComp.h"
#include "ui/dialogs/DeviceOptionsComp.h"
#include "ui/dialogs/GeneralOptionsComp.h"
#include "ui/dialogs/UpdateOptionsComp.h"

// The inside of the options dialog: the tabs "General", "Devices" and "Data" above the
// buttons "Ok", "Cancel" and "Restore Defaults". The pages store their values only on "Ok".
class OptionsContent : public juce::Component,
                       private juce::Button::Listener
{
public:
    OptionsContent();
    ~OptionsContent() override;

    // -1 while open; 1 after "Ok" (every page stored), 0 after "Cancel".
    int getResult() const noexcept                 { return result; }
    bool wereDefaultsRestored() const noexcept     { return defaultsRestored; }

    GeneralOptionsComp& getGeneralPage() noexcept  { return generalPage; }
    DeviceOptionsComp& getDevicesPage() noexcept   { return devicesPage; }
    DataOptionsComp& getDataPage() noexcept        { return dataPage; }
    UpdateOptionsComp& getUpdatePage() noexcept    { return updatePage; }

    void paint (juce::Graphics&) override;
    void resized() override;

    juce::TabbedComponent tabbedComponent { juce::TabbedButtonBar::TabsAtTop };
    juce::TextButton textButtonOk { "Ok" };
    juce::TextButton textButtonCancel { "Cancel" };
    juce::TextButton textButtonRestoreDefaults { "Restore Defaults" };

private:
    void buttonClicked (juce::Button*) override;
    juce::Array<OptionsComponentPage*> getPages();

    OptionsDialogLaf lookAndFeel;   // set on this tree first, detached last
    GeneralOptionsComp generalPage;
    DeviceOptionsComp devicesPage;
    DataOptionsComp dataPage;
    UpdateOptionsComp updatePage;
    int result = -1;
    bool defaultsRestored = false;

    JUCE_DECLARE_NON_COPYABLE (OptionsContent)
};
