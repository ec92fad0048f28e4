// The platform's system driver in a build that has none yet: the scripted
// one, so that tests of the portable modules link and run.
#include "tests/support/scripted_system_driver.h"

Ref<TSystemDriver> CreatePlatformSystemDriver() { return New<TScriptedSystemDriver>(); }
