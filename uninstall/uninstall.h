// The uninstall procedure: the invocation check with its relaunch, and the uninstall sequence.
#pragma once

extern char targetklid[260];

// Product constants of this build.
extern const char layoutname[];
extern const char driverbase[];
extern const char driverfile[];
extern const char diagramname[];
extern const char uninstallentryname[];
extern const char productversion[];
