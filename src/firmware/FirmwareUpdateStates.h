#pragma once

// The states a firmware update goes through and the results it ends with, shared by the
// update's thread, its state machine and its progress.
struct FirmwareUpdateStates
{
    enum State : int
    {
        created      = 0,
        asking       = 1,    // a question waits for the user's answer
        preparing    = 2,    // pre-check done; the user data is read when needed
        converting   = 3,
        sending      = 4,
        applying     = 5,    // the unit applies the update and reboots
        rescanning   = 6,
        unitFound    = 7,
        unitNotFound = 8,
        askingToScan = 9,    // "Device Detection Failure"
        restoring    = 10,   // writing the user data back
        restored     = 11,
        finished     = 12,
        stopped      = 13,
        failed       = 14
    };

    enum Result : int
    {
        resultNone     = 0,  // also when the user ended the update through an answer
        resultFinished = 1,
        resultStopped  = 2,  // the Stop button, or a cancelled device command
        resultFailed   = 3
    };

    // Nothing moves an update out of these.
    static bool isFinalState (int s) noexcept { return s == finished || s == stopped || s == failed; }
};
