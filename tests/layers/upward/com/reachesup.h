#pragma once
// The ground floor reaching for the roof.
#include "module/classids.h"
