#include "iconhandler/statusoverlay.h"

#include "iconhandler/overlaymath.h"
#include "imaging/argbicon.h"
#include "log/extensionlog.h"

void FadeTowardWhite(Gdiplus::Bitmap* image, float amount) {
  if (!image) return;
  LockedBits bits(*image, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB);
  if (!bits.Locked()) return;
  const Gdiplus::BitmapData& data = bits.Data();
  FadePixelRows(bits.Row(0), data.Stride, data.Width, data.Height, amount);
}

void DrawStatusCircle(Gdiplus::Bitmap* image, int32_t progress) {
  if (!image) return;
  const StatusMarkGeometry mark = ComputeStatusMarkGeometry(image->GetWidth(), image->GetHeight());
  if (progress < 0) return;
  LogMessage(L"Drawing circle with %d status", progress);

  Gdiplus::Graphics graphics(image);
  const Gdiplus::SolidBrush discBrush{Gdiplus::Color(statusDiscColor)};
  graphics.FillEllipse(&discBrush, mark.discLeft, mark.discLeft, mark.discSide, mark.discSide);

  const Gdiplus::Pen ringPen(Gdiplus::Color(statusRingColor), mark.ringPen);
  graphics.DrawEllipse(&ringPen, mark.ringLeft, mark.ringLeft, mark.ringSide, mark.ringSide);

  // A zero sweep must not leave a dot of arc colour on any GDI+ version.
  const float sweep = StatusArcSweep(progress);
  if (sweep != 0.0f) {
    const Gdiplus::Pen arcPen(Gdiplus::Color(statusArcColor), mark.arcPen);
    graphics.DrawArc(&arcPen, mark.ringLeft, mark.ringLeft, mark.ringSide, mark.ringSide, statusArcStartAngle, sweep);
  }
}

std::unique_ptr<Gdiplus::Bitmap> CreateStatusOverlay(UINT width, UINT height, Gdiplus::PixelFormat format,
                                                     int32_t progress) {
  std::unique_ptr<Gdiplus::Bitmap> overlay(
      new Gdiplus::Bitmap(static_cast<INT>(width), static_cast<INT>(height), format));
  if (!overlay || overlay->GetLastStatus() != Gdiplus::Ok) return nullptr;
  DrawStatusCircle(overlay.get(), progress);
  return overlay;
}

namespace {

UniqueIcon DrawOverlayInto(Gdiplus::Bitmap& target, Gdiplus::Bitmap* overlay) {
  if (overlay) {
    Gdiplus::Graphics graphics(&target);
    graphics.DrawImage(overlay,
                       Gdiplus::Rect(0, 0, static_cast<INT>(target.GetWidth()), static_cast<INT>(target.GetHeight())));
  }
  return ArgbImageToIcon(&target);
}

}  // namespace

UniqueIcon ComposeStatusIcon(Gdiplus::Bitmap* faded, Gdiplus::Bitmap* overlay) {
  if (!faded) return nullptr;
  const INT width = static_cast<INT>(faded->GetWidth());
  const INT height = static_cast<INT>(faded->GetHeight());
  std::unique_ptr<Gdiplus::Bitmap> copy(faded->Clone(0, 0, width, height, faded->GetPixelFormat()));
  if (!copy || copy->GetLastStatus() != Gdiplus::Ok) return nullptr;
  return DrawOverlayInto(*copy, overlay);
}

UniqueIcon ComposeStatusIcon(const ArgbPixels& faded, const ArgbPixels* overlay) {
  std::unique_ptr<Gdiplus::Bitmap> copy = NewImageOfPixels(faded);
  if (!copy) return nullptr;
  std::unique_ptr<Gdiplus::Bitmap> mark = overlay ? NewImageOfPixels(*overlay) : nullptr;
  if (overlay && !mark) return nullptr;
  return DrawOverlayInto(*copy, mark.get());
}
