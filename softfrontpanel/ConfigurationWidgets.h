// Reads a configuration off the window's controls and puts one back onto them. Applying goes
// through the controls and their own handlers, so the channel pages send their settings to the
// cards as a person's change would; what the cards at hand do not offer is left as it is and
// listed.
#pragma once

#include "ConfigurationFile.h"

class ConfigurationMismatches;
class kq7150fp_App;

class ConfigurationWidgets {
public:
    static ConfigurationFile collect(const kq7150fp_App &app);
    // file has passed ConfigurationKeys::check.
    static void apply(const ConfigurationFile &file, kq7150fp_App &app, ConfigurationMismatches &mismatches);
};
