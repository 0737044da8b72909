#include "conversion/SetupConversionObject.h"
#include "conversion/ScriptValues.h"

SetupConversionObject::SetupConversionObject (const SetupData& s, const DeviceDataFormat& target)
    : source (s), converted (target)
{
    // Built for the target format: a script that only stores values gets a setup of the
    // version that format holds.
    converted.setSetupDataVersion (target.setupVersion);

    setMethod ("getProductId", getProductId);
    setMethod ("getVersion", getVersion);
    setMethod ("getData", getData);
    setMethod ("setVersion", setVersion);
    setMethod ("setData", setData);
}

SetupConversionObject* SetupConversionObject::self (const juce::var::NativeFunctionArgs& args)
{
    return dynamic_cast<SetupConversionObject*> (args.thisObject.getObject());
}

juce::var SetupConversionObject::getProductId (const juce::var::NativeFunctionArgs& args)
{
    if (auto* o = self (args))
        return (int) o->source.getFormat().productId;
    return {};
}

juce::var SetupConversionObject::getVersion (const juce::var::NativeFunctionArgs& args)
{
    if (auto* o = self (args))
        return o->source.getSetupDataVersion();
    return {};
}

juce::var SetupConversionObject::getData (const juce::var::NativeFunctionArgs& args)
{
    auto* o = self (args);
    if (o == nullptr || ! o->source.isComplete())
        return {};
    return ScriptValues::toArray (o->source.getData());
}

juce::var SetupConversionObject::setVersion (const juce::var::NativeFunctionArgs& args)
{
    auto* o = self (args);
    int version = 0;
    if (o == nullptr || args.numArguments < 1 || ! ScriptValues::readIndex (args.arguments[0], version) || version <= 0)
        return {};
    o->converted.setSetupDataVersion (version);
    o->converted.setModified (true);
    return 1;
}

juce::var SetupConversionObject::setData (const juce::var::NativeFunctionArgs& args)
{
    auto* o = self (args);
    juce::Array<int> values;
    if (o == nullptr || args.numArguments < 1 || ! ScriptValues::fromArray (args.arguments[0], values))
        return {};
    // Tried on a copy, so that values that do not fit leave what the script stored before.
    SetupData attempt (o->converted);
    if (! attempt.setData (values))
        return {};
    o->converted = attempt;
    return 1;
}
