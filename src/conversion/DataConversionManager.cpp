#include "conversion/DataConversionManager.h"
#include "conversion/ConversionContent.h"
#include "conversion/ConversionGraph.h"
#include "conversion/LarkspireScriptInterface.h"
#include "conversion/PresetConversionObject.h"
#include "conversion/ReferenceDataObject.h"
#include "conversion/RuleScriptRunner.h"
#include "conversion/SetupConversionObject.h"

namespace
{
    std::atomic<int> scriptTimeLimitMs { DataConversionManager::defaultScriptTimeLimitMs };

    // Rule scripts are a few kilobytes. A bound keeps the deepest expression a script can
    // hold within the room the script thread keeps for what cannot be interrupted.
    constexpr juce::int64 maxScriptSize = 128 * 1024;

    struct BitText
    {
        int bit;
        const char* text;
    };

    const BitText bitTexts[] = {
        { DataConversionManager::noRuleChain,      "There are insufficient definitions available to perform the conversion." },
        { DataConversionManager::scriptMissing,    "The conversion definition is invalid." },
        { DataConversionManager::scriptEmpty,      "The conversion definition is invalid." },
        { DataConversionManager::profileMissing,   "Profile information for the target version is missing." },
        { DataConversionManager::targetNotCreated, "Allocating target data structures failed." },
        { DataConversionManager::presetFailed,     "An error occurred during preset conversion." },
        { DataConversionManager::setupFailed,      "An error occurred during setup conversion." },
        { DataConversionManager::setupRejected,    "The target rejected the new setup data." },
        { DataConversionManager::scriptFailed,     "JavaScript execution error." },
        { DataConversionManager::internalError,    "An internal error occurred during conversion." },
    };

    bool isScriptFile (const juce::String& path)
    {
        // A folder of that name, or a path that is not a full path, is no script.
        return juce::File::isAbsolutePath (path) && juce::File (path).existsAsFile();
    }

    // A format whose data of this kind has the version a rule leads to, and that the
    // program can hold.
    bool isUsableTargetFormat (const DeviceDataFormat& f, const ConversionRuleInfo& rule, int kind)
    {
        const int version = kind == 1 ? f.presetVersion : f.setupVersion;
        return f.isValid() && f.isWithinLimits() && f.productId == rule.targetProductId && version == rule.targetVersion;
    }

    // Presets and setups are stored under the target unit's own format; a converted item
    // is taken only when its layout is the one that format gives its kind.
    bool hasPresetLayoutOf (const Preset& p, const DeviceDataFormat& f)
    {
        const auto& g = p.getFormat();
        return g.productId == f.productId && g.presetVersion == f.presetVersion
            && g.syxPackagesPerPresetStep == f.syxPackagesPerPresetStep && g.presetStepPacketSize == f.presetStepPacketSize;
    }

    bool hasSetupLayoutOf (const SetupData& s, const DeviceDataFormat& f)
    {
        const auto& g = s.getFormat();
        return g.productId == f.productId && g.setupVersion == f.setupVersion
            && g.syxPackagesPerSetup == f.syxPackagesPerSetup && g.setupPacketSize == f.setupPacketSize;
    }
}

const char* const DataConversionManager::stoppedText = "The conversion was stopped.";
const char* const DataConversionManager::recursionText = "The conversion script nested its calls too deeply.";
const char* const DataConversionManager::memoryText = "The conversion script used more than its 128 MB of memory.";
static_assert (RuleScriptRunner::memoryBudget == (size_t) 128 << 20, "the text above names the budget");

DataConversionManager::DataConversionManager() : DataConversionManager (ConversionContent::getDefault())
{
}

DataConversionManager::DataConversionManager (const ConversionContent& c) : content (c)
{
}

DataConversionManager::~DataConversionManager() = default;

void DataConversionManager::addListener (Listener* listener)
{
    listeners.add (listener);
}

void DataConversionManager::removeListener (Listener* listener)
{
    listeners.remove (listener);
}

void DataConversionManager::reset()
{
    errors.clear();
    errorInfo.clear();
}

juce::String DataConversionManager::getErrorText() const
{
    if (errors.isZero())
        return {};
    if (errorInfo.isNotEmpty())
        return errorInfo;
    return getErrorBitsText (errors);
}

juce::String DataConversionManager::getErrorBitsText (const juce::BigInteger& bits)
{
    if (bits.isZero())
        return {};
    for (auto& entry : bitTexts)
        if (bits[entry.bit])
            return entry.text;
    return "Unknown internal error.";
}

void DataConversionManager::setScriptTimeLimitMs (int milliseconds) noexcept
{
    scriptTimeLimitMs = milliseconds > 0 ? milliseconds : defaultScriptTimeLimitMs;
}

int DataConversionManager::getScriptTimeLimitMs() noexcept
{
    return scriptTimeLimitMs.load();
}

void DataConversionManager::requestStop() noexcept
{
    stopRequested = true;
}

bool DataConversionManager::shouldStop() const noexcept
{
    return stopRequested.load() || juce::Thread::currentThreadShouldExit();
}

void DataConversionManager::noteStop()
{
    stopped = true;
    setBit (internalError);
    errorInfo = stoppedText;
}

//==============================================================================
bool DataConversionManager::findConversionPath (juce::Array<ConversionRuleInfo>& chain, juce::uint8 sourceProduct,
                                                int sourceVersion, juce::uint8 targetProduct, int targetVersion,
                                                int kind) const
{
    chain.clearQuick();
    if (sourceProduct == targetProduct && sourceVersion == targetVersion)
        return true;

    ConversionGraph graph;
    graph.build (sourceProduct, targetProduct, kind, content);
    if (graph.getNumNodes() == 0)
        return false;

    ConversionGraph::PathFinder finder (graph);
    const auto path = finder.getPath (sourceProduct, sourceVersion, targetProduct, targetVersion);
    for (int i = 0; i + 1 < path.size(); ++i)
    {
        auto* node = path.getUnchecked (i);
        auto* next = path.getUnchecked (i + 1);
        const int edge = node->indexOfEdgeTo (next);
        if (edge < 0)
        {
            chain.clearQuick();
            return false;
        }
        ConversionRuleInfo rule;
        rule.kind = kind;
        rule.productId = node->productId;
        rule.sourceVersion = node->version;
        rule.targetProductId = next->productId;
        rule.targetVersion = next->version;
        rule.cost = node->costs[edge];
        rule.scriptFile = node->scriptFiles[edge];
        chain.add (rule);
    }
    return ! chain.isEmpty();
}

bool DataConversionManager::checkConversion (juce::uint8 sourceProduct, int sourceVersion, juce::uint8 targetProduct,
                                             int targetVersion, int kind)
{
    juce::Array<ConversionRuleInfo> chain;
    if (! findConversionPath (chain, sourceProduct, sourceVersion, targetProduct, targetVersion, kind))
    {
        setBit (noRuleChain);
    }
    else
    {
        for (auto& rule : chain)
        {
            if (! isScriptFile (rule.scriptFile))
                setBit (scriptMissing);
            if (hasErrors())
                break;
        }
    }
    return ! hasErrors();
}

//==============================================================================
std::unique_ptr<DeviceData> DataConversionManager::convertDeviceData (const DeviceData& source, juce::uint8 targetProduct,
                                                                      const VersionNumber& targetVersion)
{
    const auto caps = content.createDeviceCaps (targetProduct, targetVersion.build);
    reset();
    stopped = false;

    struct ReferenceScope
    {
        ReferenceScope (const DeviceData*& r, const DeviceData& s) : ref (r) { ref = &s; }
        ~ReferenceScope() { ref = nullptr; }
        const DeviceData*& ref;
    } referenceScope (referenceData, source);

    if (caps == nullptr || ! caps->getFormat().isValid() || ! caps->getFormat().isWithinLimits())
    {
        setBit (profileMissing);
        return {};
    }
    const auto format = caps->getFormat();

    std::unique_ptr<DeviceData> target (new (std::nothrow) DeviceData (targetVersion, format, nullptr));
    if (target == nullptr)
    {
        setBit (targetNotCreated);
        return {};
    }

    const int slots = juce::jmin (source.getNumSlots(), target->getNumSlots());
    const int total = juce::jmin (source.countPresets(), target->getNumSlots());

    juce::Array<ConversionRuleInfo> chain;
    if (source.countPresets() > 0
        && ! findConversionPath (chain, source.getProductId(), source.getFormat().presetVersion, targetProduct,
                                 format.presetVersion, ConversionRuleInfo::preset))
    {
        setBit (noRuleChain);
        return {};
    }

    int done = 0;
    for (int i = 0; i < slots; ++i)
    {
        auto* preset = source.getPreset (i);
        if (preset == nullptr)
            continue;
        if (shouldStop())
        {
            noteStop();
            return {};
        }

        auto converted = convertPreset (*preset, chain);
        if (converted != nullptr)
        {
            if (hasPresetLayoutOf (*converted, format))
                converted->setFormat (format);
            else
                converted.reset();   // refused: not stored in a layout the target does not have
            if (converted != nullptr && target->setPreset (i, std::move (converted)))
                ++done;
            else
                setBit (internalError);
        }
        if (hasErrors() || stopped)
            return {};
        listeners.call ([done, total] (Listener& l) { l.presetConverted (done, total); });
    }

    const auto& sourceSetup = source.getSetup();
    if (sourceSetup.isComplete())
    {
        if (shouldStop())
        {
            noteStop();
            return {};
        }
        if (! findConversionPath (chain, source.getProductId(), sourceSetup.getSetupDataVersion(), targetProduct,
                                  format.setupVersion, ConversionRuleInfo::setup))
        {
            setBit (target->countPresets() > 0 ? setupFailed : noRuleChain);
        }
        else
        {
            auto converted = convertSetup (sourceSetup, chain);
            // A stop leaves nothing half done behind: the whole conversion fails.
            if (stopped)
                return {};
            bool accepted = false;
            if (converted != nullptr && hasSetupLayoutOf (*converted, format))
            {
                converted->setFormat (format);
                accepted = target->setSetup (*converted, false);
            }
            if (accepted)
                listeners.call ([] (Listener& l) { l.setupConverted(); });
            else
                setBit (setupRejected);
        }
    }

    target->clearModifiedFlags (false);
    return target;
}

std::unique_ptr<Preset> DataConversionManager::convertPreset (const Preset& source,
                                                              const juce::Array<ConversionRuleInfo>& chain)
{
    return convertItem (source, chain);
}

std::unique_ptr<SetupData> DataConversionManager::convertSetup (const SetupData& source,
                                                                const juce::Array<ConversionRuleInfo>& chain)
{
    return convertItem (source, chain);
}

template <typename ItemType>
std::unique_ptr<ItemType> DataConversionManager::convertItem (const ItemType& source,
                                                              const juce::Array<ConversionRuleInfo>& chain)
{
    reset();
    stopped = false;
    if (chain.isEmpty())
        return std::make_unique<ItemType> (source);

    std::unique_ptr<DeviceMidiData> current;
    for (auto& rule : chain)
    {
        auto next = runRuleScript (current != nullptr ? *current : static_cast<const DeviceMidiData&> (source), rule);
        if (next == nullptr)
            return {};
        current = std::move (next);
    }
    return std::unique_ptr<ItemType> (static_cast<ItemType*> (current.release()));
}

//==============================================================================
std::unique_ptr<DeviceMidiData> DataConversionManager::runRuleScript (const DeviceMidiData& item,
                                                                      const ConversionRuleInfo& rule)
{
    if (! isScriptFile (rule.scriptFile))
        setBit (scriptMissing);
    if (hasErrors())
        return {};
    if (shouldStop())
    {
        noteStop();
        return {};
    }

    const int kind = item.getDataType();
    const auto caps = content.createDeviceCapsForDataVersion (rule.targetProductId, kind, rule.targetVersion);
    // A profile whose data of this kind has another version would give items of the
    // wrong layout: that counts as no profile.
    if (caps == nullptr || ! isUsableTargetFormat (caps->getFormat(), rule, kind))
    {
        setBit (profileMissing);
        return {};
    }
    const auto targetFormat = caps->getFormat();

    const juce::File scriptFile (rule.scriptFile);
    const auto size = scriptFile.getSize();
    const auto script = size > 0 && size <= maxScriptSize ? scriptFile.loadFileAsString() : juce::String();
    if (script.isEmpty())
    {
        setBit (scriptEmpty);
        return {};
    }

    juce::JavascriptEngine engine;
    engine.maximumExecutionTime = juce::RelativeTime::milliseconds (getScriptTimeLimitMs());

    juce::ReferenceCountedObjectPtr<LarkspireScriptInterface> larkspire (new LarkspireScriptInterface());
    juce::ReferenceCountedObjectPtr<ReferenceDataObject> reference (new ReferenceDataObject (referenceData));
    juce::ReferenceCountedObjectPtr<ConversionObject> conversion;
    const char* conversionName = nullptr;
    if (kind == ConversionRuleInfo::preset)
    {
        if (auto* preset = dynamic_cast<const Preset*> (&item))
            conversion = new PresetConversionObject (*preset, targetFormat);
        conversionName = "PresetConversion";
    }
    else if (kind == ConversionRuleInfo::setup)
    {
        if (auto* setup = dynamic_cast<const SetupData*> (&item))
            conversion = new SetupConversionObject (*setup, targetFormat);
        conversionName = "SetupConversion";
    }
    if (conversion == nullptr)
    {
        setBit (internalError);
        return {};
    }

    engine.registerNativeObject ("Larkspire", larkspire.get());
    engine.registerNativeObject ("ReferenceData", reference.get());
    engine.registerNativeObject (conversionName, conversion.get());

    if (runner == nullptr)
        runner = std::make_unique<RuleScriptRunner>();
    const auto run = runner->run (engine, script, [this] { return shouldStop(); });

    switch (run.outcome)
    {
        case RuleScriptRunner::Outcome::stopped:
            stopped = true;
            errorInfo = stoppedText;
            break;
        case RuleScriptRunner::Outcome::tooDeep:
            errorInfo = recursionText;
            break;
        case RuleScriptRunner::Outcome::outOfMemory:
            errorInfo = memoryText;
            break;
        case RuleScriptRunner::Outcome::failed:
            errorInfo = run.message;
            break;
        case RuleScriptRunner::Outcome::finished:
            if (larkspire->hasError())
                errorInfo = larkspire->getErrorText();
            break;
    }
    if (run.outcome != RuleScriptRunner::Outcome::finished || larkspire->hasError())
    {
        setBit (scriptFailed);
        setBit (internalError);
        return {};
    }

    // The converted item must be whole: a script that wrote nothing, or only part of what
    // the header announces, gives no result rather than an empty or broken item.
    const auto& converted = conversion->getConvertedData();
    std::unique_ptr<DeviceMidiData> result;
    if (kind == ConversionRuleInfo::preset)
        result.reset (new (std::nothrow) Preset (targetFormat));
    else
        result.reset (new (std::nothrow) SetupData (targetFormat));
    if (result != nullptr)
        result->copyFrom (converted);
    if (result == nullptr || ! result->isComplete())
    {
        setBit (kind == ConversionRuleInfo::preset ? presetFailed : setupFailed);
        return {};
    }
    return result;
}
