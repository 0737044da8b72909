#pragma once

#include "model/SysExReader.h"
#include "model/VersionNumber.h"

// The identity query for one product (or for any unit, product id 255), and the
// classifier of what a unit or a stored file sends back for that product.
class DeviceQuery
{
public:
    static constexpr int queryLength = 17;
    static constexpr juce::uint8 anyProduct = 255;

    // The request kinds of an identity query.
    enum Kind { firmwareVersion = 0x7F, serialNumber = 0x07, manufactureDate = 0x09 };

    explicit DeviceQuery (juce::uint8 productId = anyProduct);
    DeviceQuery (const DeviceQuery& other);
    DeviceQuery& operator= (const DeviceQuery& other);

    juce::uint8 getProductId() const noexcept { return productId; }
    // Builds the query for one product: byte 5 of both copies becomes the id.
    void setProductId (juce::uint8 id);

    bool isEmpty() const noexcept { return length == 0; }
    void clear();

    // Writes the request kind into byte 7 of the working copy and returns it; an
    // empty query gives an empty SysEx message (F0 F7).
    juce::MidiMessage makeMessage (int kind);

    // The message carries 15 data bytes between F0 and F7 and this query's product id.
    bool matchesReply (const juce::MidiMessage& message) const;

    // classifySysExMessage for this query's product id.
    juce::uint32 classifyReply (const juce::uint8* data, int size, const DeviceDataFormat& format,
                                const DeviceCaps* caps, int& outProductId, int& outNumber) const;

    // Whether a message from a unit is well framed, of this maker, and as long as its
    // command calls for: identity reply 17 bytes, preset header 32, preset data packet
    // presetStepPacketSize + 10, setup packet setupPacketSize + 12; a status (0x7F,
    // 0x34) must hold its status byte and "done" (0x56) its command. What fails this is
    // never to be read further.
    static bool isWellFormedReply (const juce::MidiMessage& message, const DeviceDataFormat& format);

    // The answers in identity replies (17 bytes), as the unit sends them.
    static VersionNumber decodeFirmwareVersion (const juce::uint8* reply);
    static int decodeSerialNumber (const juce::uint8* reply);   // 0 when a digit is above 9
    static void decodeManufactureDate (const juce::uint8* reply, int& year, int& month, int& day);

private:
    juce::uint8 productId = anyProduct;
    int length = 0;
    juce::uint8 templateCopy[queryLength] {};
    juce::uint8 workingCopy[queryLength] {};
};
