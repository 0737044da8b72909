#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The one process-wide command manager through which every page, toolbar and
// menu triggers the application's commands by id. It is created on first use
// and deleted by the main window (or at the application's shutdown), never at
// static exit, when the framework it depends on has already gone.
juce::ApplicationCommandManager& getCommandManager();

// Replaces the command manager, deleting the previous one; null just deletes it
// (the next getCommandManager() makes a fresh one).
void setCommandManager (juce::ApplicationCommandManager* newManager);

// True while a command manager exists.
bool hasCommandManager();
