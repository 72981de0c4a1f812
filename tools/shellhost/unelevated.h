#pragma once
// "--unelevated" before the command: an elevated shellhost runs the rest of
// its command line again in a child with the linked (limited) token and
// answers with the child's exit code, so that the extension sees an
// unelevated host as on a standard desktop.
bool IsUnelevatedRequest(int argc, wchar_t** argv);
int RunUnelevated();
