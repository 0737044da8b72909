#pragma once

// The one table of application command ids. The main content component declares and
// performs them; pages, toolbars, buttons and menus trigger them by id through the
// process-wide command manager. The framework's own quit command (0x1001) is declared
// by the application object.
namespace AppCommand
{
    enum : int
    {
        quit                   = 0x1001,

        showTools              = 0x30000,
        showHelp               = 0x30001,
        signIn                 = 0x30002,
        showDeveloper          = 0x30003,
        showOptions            = 0x31000,
        showFirmwareUpdates    = 0x31001,
        showFirmwareUpdatesAll = 0x31002,   // the same list, with custom images allowed
        readLocalManual        = 0x32000,
        readOnlineManual       = 0x32001,
        openProductSupport     = 0x32002,
        openAccountPage        = 0x32003,
        openGeneralSupport     = 0x32004,
        showAbout              = 0x32005,
        showMidiDevices        = 0x32006,
        scanForDevices         = 0x36000,
        connectSelectedDevice  = 0x36001,
        disconnectDevice       = 0x36002,
        showMidiDeviceList     = 0x36003,
        downloadDeviceData     = 0x3D000,
        applyChanges           = 0x3D001,
        restoreSetup           = 0x3D002,
        sendDirectToDevice     = 0x3D003,
        restoreToDevice        = 0x3D004,
        updateFirmware         = 0x3D100,
        updateFirmwareNow      = 0x3D101,   // the offered update, without asking
        customDeviceProfile    = 0x3E000,
        generatePresetChecksums = 0x3E001,
        firmwareStressTest     = 0x3E002
    };
}
