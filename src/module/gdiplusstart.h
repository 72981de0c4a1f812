#pragma once

// GDI+ runs while at least one menu or icon object lives. Apartment threads
// only, as the objects that call these.
void AcquireGdiplus();
void ReleaseGdiplus();
