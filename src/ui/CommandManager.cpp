#include "ui/CommandManager.h"

namespace
{
    // A plain pointer on purpose: nothing may delete the manager during static destruction.
    juce::ApplicationCommandManager* commandManager = nullptr;
}

juce::ApplicationCommandManager& getCommandManager()
{
    JUCE_ASSERT_MESSAGE_THREAD
    if (commandManager == nullptr)
        commandManager = new juce::ApplicationCommandManager();
    return *commandManager;
}

void setCommandManager (juce::ApplicationCommandManager* newManager)
{
    JUCE_ASSERT_MESSAGE_THREAD
    auto* old = commandManager;
    commandManager = newManager;
    if (old != newManager)
        delete old;
}

bool hasCommandManager()
{
    return commandManager != nullptr;
}
