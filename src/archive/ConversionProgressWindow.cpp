#include "archive/ConversionProgressWindow.h"

namespace
{
    ConversionProgressWindow::Factory& factoryHolder()
    {
        static ConversionProgressWindow::Factory factory;
        return factory;
    }
}

void ConversionProgressWindow::setFactory (Factory factory)
{
    factoryHolder() = std::move (factory);
}

std::unique_ptr<ConversionProgressWindow> ConversionProgressWindow::create (const juce::String& title,
                                                                           const juce::String& stopButtonText,
                                                                           Job& job)
{
    auto& factory = factoryHolder();
    return factory ? factory (title, stopButtonText, job) : nullptr;
}
