#pragma once

#include "content/ConversionRuleInfo.h"
#include "model/DeviceData.h"
#include <atomic>
#include <memory>

class ConversionContent;
class RuleScriptRunner;

// Converts a unit's data, or one preset or setup, from its data versions to those of
// another product build by running the cheapest chain of conversion-rule scripts. Keeps
// the errors of the last operation as error bits with a text, and tells listeners about
// progress.
//
// Build one per job, on the stack, and use it from one thread at a time. Scripts run on
// a helper thread with a large stack; the calling thread waits and watches: when it is
// asked to exit (juce::Thread::signalThreadShouldExit) or requestStop() is called, the
// running script is interrupted and the operation fails at once, leaving its source
// untouched.
class DataConversionManager
{
public:
    // Called on the thread that runs the conversion, from the last added to the first.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void presetConverted (int numDone, int numTotal) = 0;
        virtual void setupConverted() = 0;
    };

    // Error bits of the last operation.
    enum ErrorBit : int
    {
        noRuleChain       = 0,    // no chain of rules leads from source to target
        scriptMissing     = 1,    // a rule's script file is not an existing file
        scriptEmpty       = 2,    // a rule's script file is empty (or too large to be a rule)
        profileMissing    = 3,    // no usable capability profile for the target
        targetNotCreated  = 4,    // the target data could not be created
        presetFailed      = 7,    // the converted preset could not be created or is incomplete
        setupFailed       = 8,    // the converted setup could not be created, is incomplete, or has no chain
        setupRejected     = 9,    // the target refused the converted setup
        scriptFailed      = 16,   // the script failed, timed out, was stopped, or called scriptError
        internalError     = 31    // set together with every script failure, and for refused presets
    };

    // Rules and profiles from the process-wide content manager.
    DataConversionManager();
    // Rules and profiles from the given source, which must outlive the manager.
    explicit DataConversionManager (const ConversionContent& content);
    ~DataConversionManager();

    void addListener (Listener* listener);
    void removeListener (Listener* listener);

    // Clears the error bits and the script's error text.
    void reset();

    const juce::BigInteger& getErrors() const noexcept   { return errors; }
    bool hasErrors() const noexcept                        { return ! errors.isZero(); }
    const juce::String& getErrorInfo() const noexcept      { return errorInfo; }

    // Empty without errors; else the script's own text when there is one; else the text
    // of the lowest known error bit.
    juce::String getErrorText() const;
    // The text of the lowest known bit; "Unknown internal error." for a set of only other
    // bits; empty for an empty set.
    static juce::String getErrorBitsText (const juce::BigInteger& bits);

    // The cheapest chain of rules of one kind (1 preset, 2 setup) from a (product, data
    // version) to another. True with an empty chain when source and target are equal.
    bool findConversionPath (juce::Array<ConversionRuleInfo>& chain, juce::uint8 sourceProduct, int sourceVersion,
                             juce::uint8 targetProduct, int targetVersion, int kind) const;

    // Whether a chain exists and each of its scripts is a file. Adds to the error bits
    // (does not reset them first).
    bool checkConversion (juce::uint8 sourceProduct, int sourceVersion, juce::uint8 targetProduct,
                          int targetVersion, int kind);

    // A new DeviceData for the target build with every preset converted (slots that both
    // have) and the setup converted when the source's setup is complete. Null on failure,
    // with the error bits set. When only the setup step fails, the converted presets are
    // still returned and the error bits say why the setup is missing: callers that must
    // not lose the setup check hasErrors() on a non-null result too.
    std::unique_ptr<DeviceData> convertDeviceData (const DeviceData& source, juce::uint8 targetProduct,
                                                   const VersionNumber& targetVersion);

    // Runs the chain on one item; an empty chain gives a plain copy. Null on failure.
    std::unique_ptr<Preset> convertPreset (const Preset& source, const juce::Array<ConversionRuleInfo>& chain);
    std::unique_ptr<SetupData> convertSetup (const SetupData& source, const juce::Array<ConversionRuleInfo>& chain);

    // Interrupts a running script and makes the current and every later operation of this
    // manager fail. Safe to call from any thread.
    void requestStop() noexcept;
    // True when the last operation ended because a stop was asked for (requestStop or an
    // exit request of the calling thread).
    bool wasStopped() const noexcept   { return stopped; }

    // How long one rule may run on one item before the interpreter aborts it.
    static constexpr int defaultScriptTimeLimitMs = 60000;
    // Process-wide; tests shorten it. A value of 0 or less restores the default.
    static void setScriptTimeLimitMs (int milliseconds) noexcept;
    static int getScriptTimeLimitMs() noexcept;

    // Error texts of the program's own making (not of any bit).
    static const char* const stoppedText;      // "The conversion was stopped."
    static const char* const recursionText;    // a script nested its calls too deeply
    static const char* const memoryText;       // a script took more than its memory budget

private:
    std::unique_ptr<DeviceMidiData> runRuleScript (const DeviceMidiData& item, const ConversionRuleInfo& rule);
    template <typename ItemType>
    std::unique_ptr<ItemType> convertItem (const ItemType& source, const juce::Array<ConversionRuleInfo>& chain);

    void setBit (int bit)   { errors.setBit (bit); }
    bool shouldStop() const noexcept;
    void noteStop();

    const ConversionContent& content;
    juce::BigInteger errors;
    juce::String errorInfo;
    juce::ListenerList<Listener> listeners;
    const DeviceData* referenceData = nullptr;
    std::unique_ptr<RuleScriptRunner> runner;
    std::atomic<bool> stopRequested { false };
    bool stopped = false;

    JUCE_DECLARE_NON_COPYABLE (DataConversionManager)
};
