#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

// Icons side by side on a checkerboard, which shows their transparency:
// one cell per file with its large icon, its small icon at its own size and
// magnified four times, and its label.
class ContactSheet {
 public:
  void Add(std::wstring label, std::unique_ptr<Gdiplus::Bitmap> large, std::unique_ptr<Gdiplus::Bitmap> small);
  bool Empty() const { return cells.empty(); }
  // Lays the cells out in rows of the given number and writes a PNG file.
  bool Save(const std::wstring& path, unsigned columns) const;

 private:
  struct Cell {
    std::wstring label;
    std::unique_ptr<Gdiplus::Bitmap> large;
    std::unique_ptr<Gdiplus::Bitmap> small;
  };
  void DrawCell(Gdiplus::Graphics& graphics, const Cell& cell, int left, int top) const;

  std::vector<Cell> cells;
};
