#include "log/extensionlog.h"

void CreateExtensionLog() {}
void DestroyExtensionLog() {}
bool RefreshLogSwitch() { return false; }
void LogMessage(const wchar_t*, ...) {}
