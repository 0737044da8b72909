#include <gtest/gtest.h>
#include "device/DeviceErrors.h"
#include "device/DeviceObject.h"
#include "device/DeviceQuery.h"

namespace
{
    std::vector<juce::uint8> reply (juce::uint8 kind, std::initializer_list<int> answer)
    {
        std::vector<juce::uint8> r { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x11, 0x7E, kind };
        for (auto a : answer)
            r.push_back ((juce::uint8) a);
        r.push_back (0xF7);
        return r;
    }
}

TEST (DeviceIdentity, FirmwareVersionReply)
{
    // Build type 2, major 1 in one byte; minor 3, revision 4; build 1000 as 28 bits; last 5.
    const auto r = reply (0x7F, { 0x21, 3, 4, 0, 0, 0x07, 0x68, 5 });
    const auto v = DeviceQuery::decodeFirmwareVersion (r.data());
    EXPECT_EQ (v, VersionNumber (2, 1, 3, 4, 1000, 5));
}

TEST (DeviceIdentity, SerialNumberReply)
{
    EXPECT_EQ (DeviceQuery::decodeSerialNumber (reply (0x07, { 0, 0, 1, 2, 3, 4, 5, 6 }).data()), 123456);
    EXPECT_EQ (DeviceQuery::decodeSerialNumber (reply (0x07, { 9, 9, 9, 9, 9, 9, 9, 9 }).data()), 99999999);
    // A byte that is no decimal digit makes the serial number 0.
    EXPECT_EQ (DeviceQuery::decodeSerialNumber (reply (0x07, { 0, 0, 1, 2, 10, 4, 5, 6 }).data()), 0);
}

TEST (DeviceIdentity, ManufactureDateReply)
{
    int y = 0, m = 0, d = 0;
    DeviceQuery::decodeManufactureDate (reply (0x09, { 24, 6, 20, 21, 0, 0, 0, 0 }).data(), y, m, d);
    EXPECT_EQ (y, 2021);
    EXPECT_EQ (m, 6);
    EXPECT_EQ (d, 24);

    // No year at all stands for 7 December 1941.
    DeviceQuery::decodeManufactureDate (reply (0x09, { 3, 4, 0, 0, 0, 0, 0, 0 }).data(), y, m, d);
    EXPECT_EQ (y, 1941);
    EXPECT_EQ (m, 12);
    EXPECT_EQ (d, 7);
}

TEST (DeviceIdentity, ReadyNeedsIdentificationAndNothingWrong)
{
    using S = DeviceObject::Status;
    EXPECT_TRUE (DeviceObject::isReadyStatus (S::identified | S::portsOpen | S::namedLikeProduct));
    EXPECT_FALSE (DeviceObject::isReadyStatus (S::portsOpen));
    EXPECT_FALSE (DeviceObject::isReadyStatus (S::identified | S::unknownProduct));
    EXPECT_FALSE (DeviceObject::isReadyStatus (S::identified | S::identificationFailed));
    EXPECT_FALSE (DeviceObject::isReadyStatus (S::identified | S::portMissing));
    EXPECT_FALSE (DeviceObject::isReadyStatus (S::identified | 0x80000000u));
}

TEST (DeviceErrorText, TextsEndWithTheCode)
{
    EXPECT_EQ (getDeviceErrorText (0, "Merle"), "");
    EXPECT_EQ (getDeviceErrorText (0xA00008, "Merle"),
               "There is insufficient memory available onMerle to store all presets.\nCode: 10485768");
    EXPECT_EQ (getDeviceErrorText (0xA0000B, "Merle"),
               "The current operation between between Larkspire and Merle has timed out. Please restart Larkspire as "
               "well as Merle, and try again. If the error persists, please contact Ardentis support.\nCode: 10485771");
    EXPECT_EQ (getDeviceErrorText (0xA00004, "Piper"),
               "Larkspire's connection to Piper has been lost. Please restart Piper and try again. If the error "
               "persists, please contact Ardentis support.\nCode: 10485764");
    EXPECT_EQ (getDeviceErrorText (0xA00005, "X"),
               "Larkspire has encountered significant data corruption while communicating with X. This could be caused "
               "heavy USB bus activity and/or heavy CPU load. Reduce both of these conditions, and then try again.\nCode: 10485765");
    EXPECT_EQ (getDeviceErrorText (0xA00002, "X"),
               "Larkspire has encountered and unexpected internal error with X. Please restart Larkspire and try again. "
               "If the error persists, please contact Ardentis support.\nCode: 10485762");
    EXPECT_EQ (getDeviceErrorText (0xA00003, "X"),
               "Larkspire has received unexpected data from X. Please restart Larkspire and try again. If the error "
               "persists, please contact Ardentis support.\nCode: 10485763");
    EXPECT_EQ (getDeviceErrorText (0xA00006, "X"),
               "A data version conflict has occurred between Larkspire and X. The SysEx data is not in the expected "
               "format. Please restart Larkspire and try again. If the error persists, please contact Ardentis support.\nCode: 10485766");
    EXPECT_EQ (getDeviceErrorText (0xA00007, "X"),
               "X has rejected the preset (step) data sent by Larkspire. Please restart Larkspire as well as X, and try "
               "again. If the error persists, please contact Ardentis support.\nCode: 10485767");
    EXPECT_EQ (getDeviceErrorText (0xA0000A, "X"),
               "A synchronization error has occurred between Larkspire and X. Please restart Larkspire as well as X, and "
               "try again. If the error persists, please contact Ardentis support.\nCode: 10485770");
    EXPECT_EQ (getDeviceErrorText (0xA00100, "X"),
               "Larkspire has encountered an unspecified error. Please restart Larkspire as well as X, and try again.\nCode: 10486016");
    EXPECT_EQ (getDeviceErrorText (0xA00001, "X"),
               "Larkspire has encountered an unspecified error. Please restart Larkspire\nCode: 10485761");
}
