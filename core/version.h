// The program's version, from the build's project version: one string for
// --version, the devices, the package and the manual page.
#pragma once

const char *programVersion();
