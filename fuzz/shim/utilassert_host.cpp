// On the host an assertion is a finding: report it and abort, so that the
// fuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#include "util/utilassert.h"

void ReportAssertion(const char* sourceName, int line, int code) {
  fprintf(stderr, "\nassert failed %s:%d (%d)\n", sourceName, line, code);
  abort();
}
