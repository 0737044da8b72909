#include "ui/ContentParts.h"
#include "ui/dialogs/ProgramDialogs.h"
#include "ui/dialogs/UpdateProgressWindow.h"

std::unique_ptr<FirmwareUpdateProgressView> ContentParts::createUpdateProgressView (juce::MessageListener& owner)
{
    return std::make_unique<UpdateProgressWindow> (owner);
}

namespace
{
    // The parts the program is built with so far.
    class ProgramContentParts : public ContentParts
    {
    public:
        std::unique_ptr<ContentDialogs> createDialogs (LarkspireContentComponent&) override
        {
            return std::make_unique<ProgramDialogs>();
        }
    };
}

ContentParts& getProgramContentParts()
{
    // The pages join here as they come.
    static ProgramContentParts parts;
    return parts;
}
