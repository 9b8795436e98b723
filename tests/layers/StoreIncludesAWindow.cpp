// The store may not use a window above it: this file must not compile.
#include "ui/main/PressControl.h"
