// Must not compile: the probe sits below the window and cannot see its headers.
#include "ui/form1.h"
