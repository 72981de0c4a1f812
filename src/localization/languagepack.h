#pragma once
// The once-per-process text load: English, then the user's language from
// the archive in the DLL, then the override file beside the host program.
// Safe to call from several threads; only the first call loads.
void LoadTextsOnce();
