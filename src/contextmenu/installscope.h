#pragma once
// Settles installScope from the registry and the files on disk while it is
// still Undecided; once decided it stays.
void DecideInstallScopeIfUndecided();
