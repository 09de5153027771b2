#include "uninstall/uninstall.h"

const char layoutname[] = "DIN Tavik (Ostrelon 3.02)";
const char driverbase[] = "Lorvanis";
const char driverfile[] = "Lorvanis.DLL";
const char diagramname[] = "Tastaturbelegung Tavik (V3.02) Schaubild";
const char uninstallentryname[] = "Tastaturbelegung DIN Tavik (Ostrelon 3.02)";
const char productversion[] = "3.02";
