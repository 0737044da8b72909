#pragma once

#include <juce_core/juce_core.h>

// The "Larkspire" object of a rule script: error reporting.
//   scriptError (text)  records the text ("Unspecified error." without one); the run fails
//   debugPrint (...)    does nothing
class LarkspireScriptInterface : public juce::DynamicObject
{
public:
    LarkspireScriptInterface();

    // True once the script called scriptError.
    bool hasError() const noexcept                  { return errorCalled; }
    const juce::String& getErrorText() const noexcept { return errorText; }

    static constexpr const char* unspecifiedError = "Unspecified error.";

private:
    static juce::var scriptError (const juce::var::NativeFunctionArgs& args);
    static juce::var debugPrint (const juce::var::NativeFunctionArgs& args);

    juce::String errorText;
    bool errorCalled = false;
};
