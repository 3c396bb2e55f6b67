// Must not compile: the runtime sits below the command line and cannot see its headers.
#include "cli/options.h"
