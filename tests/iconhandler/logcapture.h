#pragma once
// Stands in for the extension log in the in-process icon tests: the lines
// the code under test logs are kept here instead of written to a file.
#include <string>
#include <vector>

std::vector<std::wstring> TakeLoggedLines();
