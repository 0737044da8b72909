#pragma once

#include "firmware/FirmwareUpdateProgressView.h"
#include "ui/ContentDialogs.h"
#include "ui/DataPageView.h"
#include "ui/DevicePageView.h"
#include <memory>

class LarkspireContentComponent;

// Makes the pages, the dialogs and the update progress windows of the main content
// component. The component asks for its pages and dialogs once, at construction; whatever it does not make stays out: the tab of a missing page
// stays empty and disabled, and the commands that need a missing page or dialog are
// disabled.
class ContentParts
{
public:
    virtual ~ContentParts() = default;

    virtual std::unique_ptr<DevicePageView> createDevicePage (LarkspireContentComponent&) { return {}; }
    virtual std::unique_ptr<DataPageView> createDataPage (LarkspireContentComponent&)     { return {}; }
    virtual std::unique_ptr<ContentDialogs> createDialogs (LarkspireContentComponent&)    { return {}; }

    // The window a firmware update shows its progress in; its Stop button posts to `owner`.
    // Null when none could be made (the update is then refused before it starts).
    virtual std::unique_ptr<FirmwareUpdateProgressView> createUpdateProgressView (juce::MessageListener& owner);
};

// The parts the program's main window is built with. The device page, the data page and
// the dialogs are added here as they are built; until then the window runs without them.
ContentParts& getProgramContentParts();
