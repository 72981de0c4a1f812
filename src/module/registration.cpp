#include "module/registration.h"

HRESULT InstallExtension(bool, const wchar_t*) { return E_NOTIMPL; }
