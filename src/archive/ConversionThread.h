#pragma once

#include "archive/ConversionProgressWindow.h"
#include "archive/LocalArchiveManager.h"
#include "conversion/DataConversionManager.h"

// Converts every backup of a product that was made for other data versions into the
// current versions, and moves the converted items into the index's set of the current
// versions. Runs once, behind the "Converting Data" window, holding the index lock for
// its whole run; reports its end to the hub (message 0x85001) and then deletes itself.
//
// Nothing is lost on the way: a converted item is saved under a new name first; its
// entry moves to the current set only when that save worked; the old files are deleted
// only after the index that no longer names them has been written. An item that fails
// keeps its entry and its files in its old set.
class LocalArchiveManager::ConversionThread : public juce::Thread,
                                              public DataConversionManager::Listener,
                                              public ConversionProgressWindow::Job,
                                              private juce::AsyncUpdater
{
public:
    ConversionThread (LocalArchiveManager* manager, const VersionNumber& target);
    ~ConversionThread() override;

    // Starts the work (message thread) and opens the progress window when one can be shown.
    void launch();

    void run() override;

    // On the message thread once the run has ended: reports to the hub, tells the
    // manager, deletes this object.
    void threadComplete (bool userPressedCancel);

    // DataConversionManager::Listener
    void presetConverted (int numDone, int numTotal) override;
    void setupConverted() override;

    // ConversionProgressWindow::Job
    double getProgress() const override                 { return progress.load(); }
    juce::String getStatusMessage() const override;
    // "Stop!": the running script is interrupted and the walk ends after the current item.
    void stopPressed() override;

    const juce::BigInteger& getErrors() const noexcept  { return errors; }
    const juce::String& getErrorText() const noexcept   { return errorText; }

private:
    friend class LocalArchiveManager;

    void handleAsyncUpdate() override;
    void setStatus (const juce::String& text);
    void convertGroup (juce::XmlElement& targetGroup, juce::XmlElement& sourceGroup);
    void convertItem (juce::XmlElement& targetGroup, juce::XmlElement& sourceGroup, juce::XmlElement& entry);
    void addError (const juce::BigInteger& bits, const juce::String& text);
    void finishFiles (bool indexWritten);

    LocalArchiveManager* manager;                 // not owned; not used once cancelled
    std::shared_ptr<BackupIndex> backups;
    const VersionNumber target;
    const ConversionContent* content;

    std::atomic<bool> cancelled { false };        // the manager is going away
    std::atomic<bool> userStopped { false };
    std::atomic<bool> detached { false };         // the manager gave up waiting for it
    std::atomic<double> progress { -1.0 };
    juce::CriticalSection statusLock;
    juce::String status;

    juce::BigInteger errors;
    juce::String errorText;

    // Old files of moved items, deleted once the index no longer names them; new files
    // of moved items, deleted again when the index could not be written.
    juce::Array<juce::File> oldFiles, newFiles;

    std::unique_ptr<ConversionProgressWindow> window;

    JUCE_DECLARE_NON_COPYABLE (ConversionThread)
};
