#pragma once

#include "content/ConversionRuleInfo.h"
#include "model/DeviceCaps.h"
#include <memory>

// What a conversion needs of the control content: the rules of a product and the
// capability profiles that fix the target formats. The program's one source is the
// content manager (getDefault); tests and benchmarks hand in their own.
class ConversionContent
{
public:
    virtual ~ConversionContent() = default;

    // The product's usable rules of one kind (1 preset, 2 setup), in list order.
    virtual juce::Array<ConversionRuleInfo> getConversionRules (juce::uint8 productId, int kind) const = 0;

    // The profile of a firmware build; null when the product has no profile content.
    virtual std::unique_ptr<DeviceCaps> createDeviceCaps (juce::uint8 productId, int build) const = 0;

    // The profile of the first build range whose data of this kind has this version;
    // null for an unknown kind or product.
    virtual std::unique_ptr<DeviceCaps> createDeviceCapsForDataVersion (juce::uint8 productId, int kind,
                                                                        int version) const = 0;

    // Forwards to the process-wide content manager; empty results while there is none.
    static const ConversionContent& getDefault();
};
