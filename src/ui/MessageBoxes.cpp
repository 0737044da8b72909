#include "ui/MessageBoxes.h"
#include "core/DialogService.h"
#include "core/EmbeddedResources.h"
#include "core/SampleCloudUsers.h"

namespace
{
    DialogService::Icon toServiceIcon (juce::MessageBoxIconType icon)
    {
        switch (icon)
        {
            case juce::MessageBoxIconType::QuestionIcon: return DialogService::Icon::question;
            case juce::MessageBoxIconType::WarningIcon:  return DialogService::Icon::warning;
            case juce::MessageBoxIconType::InfoIcon:     return DialogService::Icon::info;
            case juce::MessageBoxIconType::NoIcon:       break;
        }
        return DialogService::Icon::none;
    }

    juce::Image embeddedImage (const char* name)
    {
        int size = 0;
        if (auto* data = getEmbeddedResource (name, size))
            return juce::ImageCache::getFromMemory (data, size);
        return {};
    }
}

bool askOkCancel (juce::MessageBoxIconType icon, juce::Component* associated,
                  const juce::String& title, const juce::String& message,
                  bool useDefaultSecondButton,
                  const juce::String& firstButtonText, const juce::String& secondButtonText)
{
    // An empty text makes the framework show its own button text.
    const juce::StringArray buttons { firstButtonText, useDefaultSecondButton ? juce::String() : secondButtonText };
    return getDialogService().showMessageBox (toServiceIcon (icon), title, message, buttons, associated) == 0;
}

void showInfoBox (juce::Component* associated, const juce::String& title, const juce::String& message)
{
    getDialogService().showMessageBox (DialogService::Icon::info, title, message, { "OK" }, associated);
}

void showWarningBox (juce::Component* associated, const juce::String& title, const juce::String& message)
{
    getDialogService().showMessageBox (DialogService::Icon::warning, title, message, { "OK" }, associated);
}

bool askYesNo (juce::Component* associated, const juce::String& title, const juce::String& message)
{
    return getDialogService().showMessageBox (DialogService::Icon::question, title, message,
                                              { "Yes", "No" }, associated) == 0;
}

juce::Image getUserAvatarImage (const juce::var& userName)
{
    const auto name = userName.toString();

    if (name == SampleCloudUsers::first)
        return embeddedImage ("avatar_sample_1_png");
    if (name == SampleCloudUsers::second)
        return embeddedImage ("avatar_sample_2_png");
    return embeddedImage ("avatar_default_png");
}
