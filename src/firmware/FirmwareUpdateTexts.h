#pragma once

// The fixed failure texts of a firmware update that more than one of its steps gives.
namespace FirmwareUpdateTexts
{
    inline constexpr const char* internalErrorCode1A = "An internal error occurred before the update could start. Please restart "
                                                       "Larkspire and try again. If the problem persists, please contact support. Code: 1A.";
    inline constexpr const char* imageInvalid = "The firmware update image does not contain valid firmware data.";
}
