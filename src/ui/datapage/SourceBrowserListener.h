#pragma once

// Told when the user selects other sources in the browser.
class SourceBrowserListener
{
public:
    virtual ~SourceBrowserListener() = default;
    virtual void sourceSelectionChanged() = 0;
};
