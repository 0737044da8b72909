#include "ui/ContentParts.h"
#include "ui/DataPage.h"
#include "ui/DevicePage.h"
#include "ui/dialogs/ProgramDialogs.h"
#include "ui/dialogs/UpdateProgressWindow.h"

std::unique_ptr<FirmwareUpdateProgressView> ContentParts::createUpdateProgressView (juce::MessageListener& owner)
{
    return std::make_unique<UpdateProgressWindow> (owner);
}

namespace
{
    // The parts built so far; the others stay with the defaults (none).
    class ProgramContentParts : public ContentParts
    {
    public:
        std::unique_ptr<DevicePageView> createDevicePage (LarkspireContentComponent& owner) override
        {
            return std::make_unique<DevicePage> (owner);
        }

        std::unique_ptr<DataPageView> createDataPage (LarkspireContentComponent&) override
        {
            return std::make_unique<DataPage>();
        }

        std::unique_ptr<ContentDialogs> createDialogs (LarkspireContentComponent&) override
        {
            return std::make_unique<ProgramDialogs>();
        }
    };
}

ContentParts& getProgramContentParts()
{
    static ProgramContentParts parts;
    return parts;
}
