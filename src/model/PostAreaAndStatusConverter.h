#pragma once

#include "model/PostEnumerations.h"

class PostAreaAndStatusConverter
{
public:
    PostArea areaForStatus(PostStatus status) const;
    // Exact, case-sensitive; anything unknown reads as Offline so the post still shows somewhere.
    PostArea areaFromString(const QString& text) const;
    PostStatus statusFromString(const QString& text) const;
};
