// One message from a unit or a file: the classifier, the header parser and the
// value parser look only at what is there.

#include "FuzzSupport.h"
#include "device/DeviceQuery.h"
#include "device/SysExFileAnalysis.h"
#include "model/SysExCodec.h"

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    if (size < 1)
        return 0;
    const auto format = fuzz_support::format (data[0]);
    const auto* bytes = data + 1;
    const int n = (int) size - 1;

    static const auto features = juce::parseXML ("<features presetCompatibilityList='1,2,4,7' presetVersion='3'/>");
    static const DeviceCaps caps (nullptr, features.get(), 0x21, 100, 200);

    int productId = 0, number = 0;
    classifySysExMessage (bytes, n, format.productId, format, &caps, productId, number);
    DeviceQuery query (format.productId);
    query.classifyReply (bytes, n, format, nullptr, productId, number);
    identifySysExData (bytes, n, productId, number);

    if (n > 0)
    {
        const juce::MidiMessage m (bytes, n, 0.0);
        PresetInfo info;
        parsePresetHeader (m, format, info);
        info.getName();
        parseSysExValues (m);
        query.matchesReply (m);
        DeviceQuery::isWellFormedReply (m, format);
        SysExCodec::isPresetDataPacket (m, format);
        SysExCodec::isSetupPacket (m, format);
    }
    return 0;
}
