#include "content/EventInstallLog.h"

EventInstallLog::EventInstallLog (bool allowTracking) : TrackableEvent ("db_ls_install.php")
{
    query.addParameter ("allow_tracking", allowTracking ? 1 : 0);
}
