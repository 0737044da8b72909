#pragma once

// Codes of DeviceInfoMessage: events from worker threads to the GUI.
namespace InfoCode
{
    enum : int
    {
        startUpDone               = 0x60000,
        quitAccepted              = 0x60001, // broadcast only; p1 = forced
        unitConnection            = 0x60002, // broadcast only; p1 1 connected, 0 disconnected
        mismatchedBackupData      = 0x60003,
        removeKnownUnit           = 0x60004,
        optionsClosed             = 0x60005,
        showPresetsTab            = 0x60006,

        contentStatusText         = 0x70000,
        productSyncStarted        = 0x70002,
        productSyncSucceeded      = 0x70003,
        productSyncFailed         = 0x70004,
        productPicturesChanged    = 0x70005, // p1 product id: its variant pictures came

        portPairsRebuilt          = 0x80000,
        scanFinished              = 0x80001,
        connectedUnitLost         = 0x80002,
        portListsChanged          = 0x80003,
        presetRead                = 0x80004,
        presetEmpty               = 0x80007,
        presetWritten             = 0x80008,
        presetDeleteSent          = 0x80009,
        presetReadAttemptFailed   = 0x8000A,
        presetWriteAttemptFailed  = 0x8000B,
        setupPacketSent           = 0x8000C,
        setupReadAttemptFailed    = 0x8000D,
        setupWriteAttemptFailed   = 0x8000E,
        firmwareBlockSent         = 0x8000F,
        firmwareBlockResent       = 0x80010,
        unitNeedsTime             = 0x80011,
        unitProfileRefused        = 0x80012, // p1 product id, p2 build; text: why the profile cannot be used
        commandDone               = 0x80050,
        commandCancelled          = 0x80051,
        commandFailed             = 0x82000,
        stopFirmwareUpdate        = 0x84000,
        firmwareUpdateEnded       = 0x84001,
        backupConversionFinished  = 0x85001
    };
}

// Codes of DeviceCommandMessage: requests from the GUI to the device threads.
namespace DeviceCommand
{
    enum : int
    {
        none               = 0,
        scan               = 0x100000,
        reidentify         = 0x100001,
        readAll            = 0x100010,
        readPresets        = 0x100040,
        readSetup          = 0x100050,
        deletePresets      = 0x100060,
        writePresets       = 0x100100,
        writePresetsFrom   = 0x100101,
        writeSetup         = 0x100110,
        writeSetupFrom     = 0x100111,
        writeWholeData     = 0x100120,
        rawSend            = 0x100300
    };

    // True for the codes the device manager forwards to the connected unit's thread.
    inline bool isTransfer (int code)
    {
        switch (code)
        {
            case readAll: case readPresets: case readSetup: case deletePresets:
            case writePresets: case writePresetsFrom: case writeSetup: case writeSetupFrom:
            case writeWholeData: case rawSend:
                return true;
            default:
                return false;
        }
    }
}
