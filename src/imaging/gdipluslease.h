#pragma once
// GDI+ runs while at least one lease lives: menu and icon objects hold one
// each. Leases come and go on several apartment threads at once.
void AcquireGdiplus();
void ReleaseGdiplus();

class GdiplusLease {
 public:
  GdiplusLease() { AcquireGdiplus(); }
  ~GdiplusLease() { ReleaseGdiplus(); }
  GdiplusLease(const GdiplusLease&) = delete;
  GdiplusLease& operator=(const GdiplusLease&) = delete;
};
