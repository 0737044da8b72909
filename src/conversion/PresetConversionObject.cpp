#include "conversion/PresetConversionObject.h"
#include "conversion/ScriptValues.h"

PresetConversionObject::PresetConversionObject (const Preset& s, const DeviceDataFormat& target)
    : source (s), targetFormat (target), converted (target)
{
    setMethod ("getProductId", getProductId);
    setMethod ("getHeader", getHeader);
    setMethod ("getStep", getStep);
    setMethod ("setHeader", setHeader);
    setMethod ("setStep", setStep);
    setMethod ("deleteStep", deleteStep);
}

PresetConversionObject* PresetConversionObject::self (const juce::var::NativeFunctionArgs& args)
{
    return dynamic_cast<PresetConversionObject*> (args.thisObject.getObject());
}

juce::var PresetConversionObject::getProductId (const juce::var::NativeFunctionArgs& args)
{
    if (auto* o = self (args))
        return (int) o->source.getFormat().productId;
    return {};
}

juce::var PresetConversionObject::getHeader (const juce::var::NativeFunctionArgs& args)
{
    auto* o = self (args);
    if (o == nullptr || ! o->source.hasInfo())
        return {};
    return juce::var (ScriptValues::makeHeader (o->source.getInfo()).get());
}

juce::var PresetConversionObject::getStep (const juce::var::NativeFunctionArgs& args)
{
    auto* o = self (args);
    if (o == nullptr)
        return {};
    int index = 0;
    if (args.numArguments > 0 && ! args.arguments[0].isUndefined()
        && ! ScriptValues::readIndex (args.arguments[0], index))
        return {};
    if (! juce::isPositiveAndBelow (index, o->source.getStepCount()))
        return {};
    const auto values = o->source.getStepData (index);
    if (values.isEmpty())
        return {};
    return ScriptValues::toArray (values);
}

juce::var PresetConversionObject::setHeader (const juce::var::NativeFunctionArgs& args)
{
    auto* o = self (args);
    if (o == nullptr || args.numArguments < 1)
        return {};
    auto* header = args.arguments[0].getDynamicObject();
    if (header == nullptr)
        return {};

    PresetInfo info;
    info.number = ScriptValues::toInt (header->getProperty ("number"));
    info.dataVersion = ScriptValues::toInt (header->getProperty ("version"));
    info.tags = ScriptValues::toInt (header->getProperty ("tags"));
    info.stepCount = ScriptValues::toInt (header->getProperty ("steps"));
    info.setNameBytes (nullptr, juce::jlimit (0, DeviceDataFormat::maxNameLength, o->targetFormat.presetNameLength));
    const auto name = header->getProperty ("name");
    if (! name.isVoid() && ! name.isUndefined())
        info.writeName (name.toString());
    o->converted.setInfo (info);
    return 1;
}

juce::var PresetConversionObject::setStep (const juce::var::NativeFunctionArgs& args)
{
    auto* o = self (args);
    if (o == nullptr || args.numArguments < 2)
        return {};
    juce::Array<int> values;
    int index = 0;
    if (! ScriptValues::fromArray (args.arguments[0], values) || ! ScriptValues::readIndex (args.arguments[1], index))
        return {};
    if (index < 0 || index > o->converted.getStepCount())
        return {};
    if (! o->converted.setStepData (index, values))
        return {};
    return 1;
}

juce::var PresetConversionObject::deleteStep (const juce::var::NativeFunctionArgs& args)
{
    auto* o = self (args);
    int index = 0;
    if (o == nullptr || args.numArguments < 1 || ! ScriptValues::readIndex (args.arguments[0], index))
        return {};
    if (! juce::isPositiveAndBelow (index, o->converted.getStepCount()))
        return {};
    juce::SparseSet<int> step;
    step.addRange ({ index, index + 1 });
    o->converted.removeSteps (step);
    return 1;
}
