#include "core/version.h"

const char *programVersion()
{
    return TARNWICK_VERSION;
}
