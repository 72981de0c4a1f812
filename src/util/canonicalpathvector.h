#pragma once
// A path vector of the absolute form of its path, with "." and ".." resolved.
#include "util/pathvector.h"

class CanonicalPathVector : public PathVector {
 public:
  CanonicalPathVector() = default;
  explicit CanonicalPathVector(std::wstring_view path);
  explicit CanonicalPathVector(const PathVector& other);

  void Assign(std::wstring_view path) override;
  bool IsCanonical() const override { return true; }
  // The other side is made canonical first unless it already is.
  bool Equals(const PathVector& other) const override;
};

// Drops "." components and lets ".." remove the component before it; ".."
// never climbs above the root component (drive, long-path prefix or
// server and share of a network path).
void ResolveDotComponents(PathVector& path);
