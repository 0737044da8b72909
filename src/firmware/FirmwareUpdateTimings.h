#pragma once

// The waits of a firmware update. The program always runs with the values below; tests
// shorten them through setFirmwareUpdateTimings and keep one test per value that runs with
// it as it is. An update copies them when it is made.
struct FirmwareUpdateTimings
{
    double rebootWaitScale = 1.0;      // the reboot wait from the capability profiles is multiplied by this
    int timerIntervalMs = 100;         // the timer that drives the progress window and asks the questions
    int rescanGapMs = 100;             // pause between two rescans that did not find the unit
    int scanTimeoutMs = 180000;        // the longest wait for one rescan's result (counts as not found)
    int connectWaitMs = 10000;         // wait for the unit to connect again before its version is checked
    int commandStartTimeoutMs = 30000; // the longest wait for the message thread to run an application command
    int commandRetryPauseMs = 1000;    // pause before a refused application command is tried again
    int deviceSilenceLimitMs = 120000; // a running device command that reports nothing this long has failed
    int stopGraceMs = 30000;           // after Stop, the longest wait for a running device command to end
    int questionPickupMs = 60000;      // the longest wait for a question to be put to the user
    int threadStopTimeoutMs = 10000;   // stopping the update thread
};

FirmwareUpdateTimings getFirmwareUpdateTimings();
void setFirmwareUpdateTimings (const FirmwareUpdateTimings& timings);
