#include "ui/ContentParts.h"
#include "ui/dialogs/UpdateProgressWindow.h"

std::unique_ptr<FirmwareUpdateProgressView> ContentParts::createUpdateProgressView (juce::MessageListener& owner)
{
    return std::make_unique<UpdateProgressWindow> (owner);
}

ContentParts& getProgramContentParts()
{
    // The pages and the dialogs join here as they come; this program makes none of them yet.
    static ContentParts parts;
    return parts;
}
