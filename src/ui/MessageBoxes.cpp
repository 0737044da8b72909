#include "ui/MessageBoxes.h"
#include "core/DialogService.h"
#include "core/EmbeddedResources.h"
#include "core/SampleCloudUsers.h"
#include <deque>

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

    // The boxes waiting to be shown, and whether one of them is open. Lives on the message
    // thread until the framework shuts down.
    class BoxQueue : private juce::Timer, private juce::DeletedAtShutdown
    {
    public:
        struct Box
        {
            DialogService::Icon icon;
            juce::Component::SafePointer<juce::Component> associated;
            juce::String title, message;
            juce::StringArray buttons;
            std::function<void (int)> onClose;
        };

        ~BoxQueue() override { clearSingletonInstance(); }

        void add (Box box)
        {
            pending.push_back (std::move (box));
            showNext();
        }

        JUCE_DECLARE_SINGLETON_SINGLETHREADED_MINIMAL (BoxQueue)

    private:
        void showNext()
        {
            if (open || pending.empty())
                return;
            // Another box or dialog is up (one shown with a modal loop of its own): wait.
            if (juce::ModalComponentManager::getInstance()->getNumModalComponents() > 0)
            {
                startTimer (100);
                return;
            }
            stopTimer();

            auto box = std::move (pending.front());
            pending.pop_front();
            open = true;
            getDialogService().showMessageBoxAsync (box.icon, box.title, box.message, box.buttons,
                                                    box.associated.getComponent(),
                                                    [onClose = std::move (box.onClose)] (int result)
            {
                if (onClose)
                    onClose (result);
                if (auto* queue = getInstanceWithoutCreating())
                {
                    queue->open = false;
                    queue->showNext();
                }
            });
        }

        void timerCallback() override { showNext(); }

        std::deque<Box> pending;
        bool open = false;
    };

    JUCE_IMPLEMENT_SINGLETON (BoxQueue)
}

void queueMessageBox (DialogService::Icon icon, juce::Component* associated, const juce::String& title,
                      const juce::String& message, const juce::StringArray& buttons,
                      std::function<void (int)> onClose)
{
    BoxQueue::getInstance()->add ({ icon, associated, title, message, buttons, std::move (onClose) });
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
