#pragma once
// Precondition failures of the utility layer: writes
// "\nassert failed <source>:<line> (<code>)\n" to standard error and ends the
// process at once.
[[noreturn]] void ReportAssertion(const char* sourceName, int line, int code);

// The fixed code the layer reports with every assertion.
inline constexpr int utilAssertCode = 33947648;  // 0x02060000
