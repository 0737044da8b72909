#pragma once

#include "ui/datapage/DataPageContext.h"

class BackupIndex;

// New archive items (backups, copies, imports) join the backups only once they are on disk.
// The nodes are appended to the target and the backup index is saved; when the files of any of
// them, or the index, could not be written, they are taken out again, whatever was written for
// them is removed (unless the index on disk lists it), and a "File Error" box says that the
// backup was not made. Otherwise they join the undo history as one step, whose undo takes their
// files off disk too and whose redo writes them again. True when they were added.
bool addNewBackups (DataPageContext& page, juce::ValueTree target, const juce::Array<juce::ValueTree>& nodes,
                    juce::Component* boxOwner);

// Saves the backup index after a change to the backups. One warning box says so when it could
// not be saved, or when the items' own files were not (`itemsWritten` false). False then, and
// without backups or while a conversion owns the index (nothing is said then).
bool saveBackups (DataPageContext& page, juce::Component* boxOwner, bool itemsWritten = true);

// The sentence that ends a box about backups that could not be written: what to look at.
juce::String whyBackupsWereNotWritten (const BackupIndex& backups);
