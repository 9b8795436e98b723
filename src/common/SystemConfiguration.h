#pragma once

class SystemConfiguration
{
public:
    // There is no such system version on Linux: the windows keep standard title bars and white panes.
    bool isAtLeastYosemite() const { return false; }
};
