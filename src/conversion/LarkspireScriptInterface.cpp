#include "conversion/LarkspireScriptInterface.h"

LarkspireScriptInterface::LarkspireScriptInterface()
{
    setMethod ("scriptError", scriptError);
    setMethod ("debugPrint", debugPrint);
}

juce::var LarkspireScriptInterface::scriptError (const juce::var::NativeFunctionArgs& args)
{
    auto* self = dynamic_cast<LarkspireScriptInterface*> (args.thisObject.getObject());
    if (self == nullptr)
        return {};

    juce::String text;
    if (args.numArguments > 0 && ! args.arguments[0].isVoid() && ! args.arguments[0].isUndefined())
        text = args.arguments[0].toString();
    // A run that reported an error fails even when the script gave no text for it.
    self->errorText = text.isNotEmpty() ? text : juce::String (unspecifiedError);
    self->errorCalled = true;
    return {};
}

juce::var LarkspireScriptInterface::debugPrint (const juce::var::NativeFunctionArgs&)
{
    return {};
}
