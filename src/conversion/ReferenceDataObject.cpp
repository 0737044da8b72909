#include "conversion/ReferenceDataObject.h"
#include "conversion/ScriptValues.h"

ReferenceDataObject::ReferenceDataObject (const DeviceData* s) : source (s)
{
    setMethod ("getProductId", getProductId);
    setMethod ("getPresetVersion", getPresetVersion);
    setMethod ("getSetupVersion", getSetupVersion);
    setMethod ("isPresetAvailable", isPresetAvailable);
    setMethod ("isSetupAvailable", isSetupAvailable);
    setMethod ("getPreset", getPreset);
    setMethod ("getSetup", getSetup);
}

const DeviceData* ReferenceDataObject::sourceOf (const juce::var::NativeFunctionArgs& args)
{
    auto* o = dynamic_cast<ReferenceDataObject*> (args.thisObject.getObject());
    return o != nullptr ? o->source : nullptr;
}

juce::var ReferenceDataObject::getProductId (const juce::var::NativeFunctionArgs& args)
{
    if (auto* s = sourceOf (args))
        return (int) s->getProductId();
    return {};
}

juce::var ReferenceDataObject::getPresetVersion (const juce::var::NativeFunctionArgs& args)
{
    if (auto* s = sourceOf (args))
        return (int) s->getFormat().presetVersion;
    return {};
}

juce::var ReferenceDataObject::getSetupVersion (const juce::var::NativeFunctionArgs& args)
{
    if (auto* s = sourceOf (args))
        return (int) s->getFormat().setupVersion;
    return {};
}

juce::var ReferenceDataObject::isPresetAvailable (const juce::var::NativeFunctionArgs& args)
{
    auto* s = sourceOf (args);
    if (s == nullptr)
        return {};
    int index = 0;
    if (args.numArguments < 1 || ! ScriptValues::readIndex (args.arguments[0], index))
        return false;
    return s->hasPreset (index);
}

juce::var ReferenceDataObject::isSetupAvailable (const juce::var::NativeFunctionArgs& args)
{
    if (auto* s = sourceOf (args))
        return s->getSetup().isComplete();
    return {};
}

juce::var ReferenceDataObject::getPreset (const juce::var::NativeFunctionArgs& args)
{
    auto* s = sourceOf (args);
    int index = 0;
    if (s == nullptr || args.numArguments < 1 || ! ScriptValues::readIndex (args.arguments[0], index))
        return {};
    auto* preset = s->getPreset (index);
    if (preset == nullptr || ! preset->hasInfo())
        return {};

    auto object = ScriptValues::makeHeader (preset->getInfo());
    juce::Array<juce::var> steps;
    for (int step = 0; step < preset->getStepCount(); ++step)
        steps.add (ScriptValues::toArray (preset->getStepData (step)));
    object->setProperty ("data", steps);
    return juce::var (object.get());
}

juce::var ReferenceDataObject::getSetup (const juce::var::NativeFunctionArgs& args)
{
    auto* s = sourceOf (args);
    if (s == nullptr || ! s->getSetup().isComplete())
        return {};
    return ScriptValues::toArray (s->getSetup().getData());
}
