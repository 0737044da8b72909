#pragma once

#include "archive/BackupIndex.h"
#include "model/VersionNumber.h"

class ConversionContent;

// The local backups of the connected unit's product: the backup index, the
// "Backups" branch of the data-source tree, the question to ask when backups of
// other data versions exist, and their conversion in the background. The data page
// makes one for the connected unit and deletes it when the unit changes.
//
// Message thread only, except the conversion thread's work. While a conversion runs,
// the tree is an empty placeholder and building or saving the index is refused; the
// rebuilt tree arrives with the end of the conversion (message 0x85001).
class LocalArchiveManager
{
public:
    class ConversionThread;

    LocalArchiveManager (const DeviceDataFormat& format, const juce::String& unitName);

    // Stops a running conversion: it is asked to exit and given stopTimeoutMs; when it
    // has not ended by then, fatal error 3 ends the program. A thread that did not stop
    // is never killed (it may hold the index lock): it is left to end on its own.
    ~LocalArchiveManager();

    void loadIndex()                                     { backups->loadIndex(); }
    juce::String createNextArchiveFile();
    bool buildTree()                                     { return backups->buildTree(); }
    bool saveIndex()                                     { return backups->saveIndex(); }
    juce::XmlElement* findSet (int presetVersion, int setupVersion)   { return backups->findSet (presetVersion, setupVersion); }
    juce::XmlElement* createSet (int presetVersion, int setupVersion) { return backups->createSet (presetVersion, setupVersion); }
    int countArchiveFiles (const juce::XmlElement& group) const       { return backups->countArchiveFiles (group); }
    bool getConversionQuestion (juce::String& question)  { return backups->getConversionQuestion (question); }

    // Starts converting every backup of other data versions to the target's versions,
    // behind the "Converting Data" progress window. Refused (false) without an index or
    // while a conversion runs.
    bool startConversion (const VersionNumber& target);

    bool isConversionRunning() const noexcept            { return conversionThread != nullptr; }
    ConversionThread* getConversionThread() const noexcept { return conversionThread; }

    juce::ValueTree getTree() const                      { return backups->getTree(); }
    const juce::String& getProductName() const noexcept  { return backups->getProductName(); }
    const juce::String& getUnitName() const noexcept     { return backups->getUnitName(); }
    const DeviceDataFormat& getFormat() const noexcept   { return backups->getFormat(); }
    bool hasIndex() const                                { return backups->hasIndex(); }
    BackupIndex& getBackupIndex() noexcept               { return *backups; }
    juce::CriticalSection& getLock() noexcept            { return backups->getLock(); }

    // Where conversions take their rules and profiles (null: the content manager).
    void setConversionContent (const ConversionContent* content) noexcept { conversionContent = content; }

    // How long the destructor waits for a conversion to stop.
    static constexpr int defaultStopTimeoutMs = 20000;
    static void setStopTimeoutMs (int milliseconds) noexcept;   // tests; 0 or less restores the default
    static int getStopTimeoutMs() noexcept;

private:
    friend class ConversionThread;

    std::shared_ptr<BackupIndex> backups;
    ConversionThread* conversionThread = nullptr;   // owned; deletes itself when it ends
    const ConversionContent* conversionContent = nullptr;

    JUCE_DECLARE_NON_COPYABLE (LocalArchiveManager)
};
