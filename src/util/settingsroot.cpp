#include "util/settingsroot.h"

#include <atomic>

namespace {
std::atomic<HKEY> settingsRoot{HKEY_CURRENT_USER};
}  // namespace

HKEY SettingsRoot() { return settingsRoot.load(); }
void UseMachineSettings() { settingsRoot.store(HKEY_LOCAL_MACHINE); }
