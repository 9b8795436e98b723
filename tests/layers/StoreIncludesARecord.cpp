// The store may use the records below it.
#include "model/BloggerPost.h"
