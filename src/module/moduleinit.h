#pragma once
// One-time work of the first DllGetClassObject of the process: the module
// path, the extension log, and the log watching the object count.
extern bool moduleInitialized;
void InitializeModuleOnce();
