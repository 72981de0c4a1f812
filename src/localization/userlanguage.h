#pragma once
// The user's preferred display language as packed codes.
#include "localization/languagelist.h"

// From the first of the user's preferred UI languages; both codes are 0
// when there is none or the system cannot name it.
UserLanguageCodes DetermineUserLanguage();
