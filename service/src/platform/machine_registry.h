// The machine settings as the registry holds them (HKEY_LOCAL_MACHINE, the
// 64-bit view on 64-bit Windows whichever build reads it).
#pragma once

#include "machine_settings.h"

namespace tickwell::service {

MachineSettings readMachineSettings();

} // namespace tickwell::service
