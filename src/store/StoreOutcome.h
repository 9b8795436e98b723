#pragma once

// Table classes answer whether a read or write worked through an optional out-flag.
inline void report(bool* ok, bool value)
{
    if (ok) {
        *ok = value;
    }
}
