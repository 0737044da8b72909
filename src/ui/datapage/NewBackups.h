#pragma once

#include "ui/datapage/DataPageContext.h"

// New archive items (backups, copies, imports) join the backups only once they are on disk.
// The nodes are appended to the target in one undoable step and the backup index is saved;
// when the files of any of them, or the index, could not be written, the step is taken back,
// whatever was written for them is deleted, and a "File Error" box says that the backup was
// not made. True when they were added.
bool addNewBackups (DataPageContext& page, juce::ValueTree target, const juce::Array<juce::ValueTree>& nodes,
                    juce::Component* boxOwner);
