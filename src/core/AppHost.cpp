#include "core/AppHost.h"
#include <atomic>

namespace
{
    std::atomic<AppHost*> installedHost { nullptr };
}

AppHost* getAppHost()             { return installedHost.load(); }
void setAppHost (AppHost* host)   { installedHost.store (host); }

bool appIsDeveloper()  { auto* h = getAppHost(); return h != nullptr && h->isDeveloper(); }
bool appIsScanAll()    { auto* h = getAppHost(); return h != nullptr && h->isScanAll(); }
bool appIsSyncAll()    { auto* h = getAppHost(); return h != nullptr && h->isSyncAll(); }
int appState()         { auto* h = getAppHost(); return h != nullptr ? h->getApplicationState() : 0; }

void appRaiseFatalError (int code)
{
    if (auto* h = getAppHost())
        h->raiseFatalError (code);
}
