#include "contactsheet.h"

#include <algorithm>
#include <memory>

#include "pngimage.h"

namespace {

constexpr int margin = 12;
constexpr int largeSide = 256;
constexpr int magnification = 4;
constexpr int labelHeight = 20;
constexpr int checker = 8;
constexpr int cellWidth = largeSide + 2 * margin;
constexpr int cellHeight = margin + largeSide + margin + 16 * magnification + margin / 2 + labelHeight + margin;

void FillChecker(Gdiplus::Graphics& graphics, int left, int top, int width, int height) {
  const Gdiplus::SolidBrush light(Gdiplus::Color(0xFFE8E8E8));
  const Gdiplus::SolidBrush dark(Gdiplus::Color(0xFFC4C4C4));
  graphics.FillRectangle(&light, left, top, width, height);
  for (int y = 0; y < height; y += checker)
    for (int x = (y / checker) % 2 * checker; x < width; x += 2 * checker)
      graphics.FillRectangle(&dark, left + x, top + y, std::min(checker, width - x), std::min(checker, height - y));
}

// Windows has the first; Wine on a bare Linux machine often only the last.
std::unique_ptr<Gdiplus::FontFamily> LabelFontFamily() {
  for (const wchar_t* name : {L"Segoe UI", L"Tahoma", L"DejaVu Sans", L"Liberation Sans"}) {
    auto family = std::make_unique<Gdiplus::FontFamily>(name);
    if (family->IsAvailable()) return family;
  }
  return nullptr;
}

}  // namespace

void ContactSheet::Add(std::wstring label, std::unique_ptr<Gdiplus::Bitmap> large,
                       std::unique_ptr<Gdiplus::Bitmap> small) {
  cells.push_back({std::move(label), std::move(large), std::move(small)});
}

void ContactSheet::DrawCell(Gdiplus::Graphics& graphics, const Cell& cell, int left, int top) const {
  FillChecker(graphics, left + margin, top + margin, largeSide, largeSide);
  if (cell.large) {
    const int width = static_cast<int>(std::min<UINT>(cell.large->GetWidth(), largeSide));
    const int height = static_cast<int>(std::min<UINT>(cell.large->GetHeight(), largeSide));
    graphics.DrawImage(cell.large.get(), Gdiplus::Rect(left + margin, top + margin, width, height), 0, 0, width,
                       height, Gdiplus::UnitPixel);
  }
  const int smallTop = top + margin + largeSide + margin;
  if (cell.small) {
    const int width = static_cast<int>(cell.small->GetWidth());
    const int height = static_cast<int>(cell.small->GetHeight());
    FillChecker(graphics, left + margin, smallTop, width, height);
    graphics.DrawImage(cell.small.get(), Gdiplus::Rect(left + margin, smallTop, width, height), 0, 0, width, height,
                       Gdiplus::UnitPixel);
    const int zoomLeft = left + margin + width + margin;
    FillChecker(graphics, zoomLeft, smallTop, width * magnification, height * magnification);
    graphics.DrawImage(cell.small.get(),
                       Gdiplus::Rect(zoomLeft, smallTop, width * magnification, height * magnification), 0, 0,
                       width, height, Gdiplus::UnitPixel);
  }
  const std::unique_ptr<Gdiplus::FontFamily> family = LabelFontFamily();
  if (!family) return;
  const Gdiplus::Font font(family.get(), 12, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
  const Gdiplus::SolidBrush ink(Gdiplus::Color(0xFF202020));
  const Gdiplus::RectF labelArea(static_cast<Gdiplus::REAL>(left + margin),
                                 static_cast<Gdiplus::REAL>(smallTop + 16 * magnification + margin / 2),
                                 static_cast<Gdiplus::REAL>(largeSide), static_cast<Gdiplus::REAL>(labelHeight));
  Gdiplus::StringFormat format;
  format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
  format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
  graphics.DrawString(cell.label.c_str(), -1, &font, labelArea, &format, &ink);
}

bool ContactSheet::Save(const std::wstring& path, unsigned columns) const {
  if (cells.empty() || columns == 0) return false;
  const int across = static_cast<int>(std::min<size_t>(columns, cells.size()));
  const int down = static_cast<int>((cells.size() + columns - 1) / columns);
  Gdiplus::Bitmap sheet(across * cellWidth, down * cellHeight, PixelFormat32bppARGB);
  if (sheet.GetLastStatus() != Gdiplus::Ok) return false;
  {
    Gdiplus::Graphics graphics(&sheet);
    graphics.Clear(Gdiplus::Color(0xFFFFFFFF));
    // Pixels stay pixels when the small icon is magnified.
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    for (size_t index = 0; index < cells.size(); ++index) {
      DrawCell(graphics, cells[index], static_cast<int>(index % columns) * cellWidth,
               static_cast<int>(index / columns) * cellHeight);
    }
  }
  return SavePng(sheet, path);
}
