#include "conversion/ConversionContent.h"
#include "content/ContentManager.h"

namespace
{
    class ContentManagerSource : public ConversionContent
    {
    public:
        juce::Array<ConversionRuleInfo> getConversionRules (juce::uint8 productId, int kind) const override
        {
            if (auto* cm = getContentManager())
                return cm->getConversionRules (productId, kind);
            return {};
        }

        std::unique_ptr<DeviceCaps> createDeviceCaps (juce::uint8 productId, int build) const override
        {
            if (auto* cm = getContentManager())
                return cm->createDeviceCaps (productId, build);
            return {};
        }

        std::unique_ptr<DeviceCaps> createDeviceCapsForDataVersion (juce::uint8 productId, int kind,
                                                                    int version) const override
        {
            if (auto* cm = getContentManager())
                return cm->createDeviceCapsForDataVersion (productId, kind, version);
            return {};
        }
    };
}

const ConversionContent& ConversionContent::getDefault()
{
    static const ContentManagerSource source;
    return source;
}
