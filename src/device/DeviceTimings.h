#pragma once

// The waits of the device threads, in milliseconds. The program always runs with the
// values below; tests shorten them through setDeviceTimings so that they stay fast, and
// keep one test per value that runs with it as it is.
struct DeviceTimings
{
    int identityWindowMs = 500;          // the longest wait for the answer to one identity query
    int rescanDelayMs = 3000;            // pause before a scan's second pass
    int scanStepMs = 100;                // one step of the scan's wait for identification
    int portPollMs = 3000;               // the device manager's longest idle wait before it looks at the port lists
    int replyTimeoutMs = 5000;           // wait for a unit's answer to a request
    int retryPauseMs = 500;              // pause after a failed attempt, before the retry
    int setupPacketGapMs = 50;           // pause before each setup packet written
    int firmwareReplyTimeoutMs = 10000;  // wait for the unit's status after a firmware block
    int firmwareResendPauseMs = 100;     // pause before a firmware block is sent again
    int portOpenRetryMs = 200;           // pause between two tries to open a port pair
    int cancelGraceMs = 2000;            // closing a busy unit: time given to its cancelled command
    int contentWaitStepMs = 100;         // one step of the wait for a product's queued content download
    int deviceStopTimeoutMs = 5000;      // stopping one device thread
    int managerStopTimeoutMs = 10000;    // stopping the device manager thread
};

// The timings new device threads take. Threads copy them when they are made.
DeviceTimings getDeviceTimings();
void setDeviceTimings (const DeviceTimings& timings);
