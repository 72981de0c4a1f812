#include "iconhandler/overlaymath.h"

#include <algorithm>

namespace {

int Scaled(unsigned length, double factor) { return static_cast<int>(length * factor); }

}  // namespace

StatusMarkGeometry ComputeStatusMarkGeometry(unsigned width, unsigned height) {
  StatusMarkGeometry geometry{};
  geometry.ringLeft = Scaled(width, 0.21);
  geometry.ringSide = Scaled(height, 0.56);
  geometry.ringPen = static_cast<float>(Scaled(height, 0.0625));
  geometry.discLeft = Scaled(width, 0.14);
  geometry.discSide = Scaled(height, 0.7);
  geometry.arcPen = geometry.ringPen * 1.5f;
  return geometry;
}

float StatusArcSweep(int32_t progress) { return static_cast<float>(progress) / 100.0f * 360.0f; }

float ClampFadeAmount(float amount) {
  // Written so that a NaN amount fades nothing instead of reaching the cast.
  if (!(amount > 0.0f)) return 0.0f;
  return std::min(amount, 1.0f);
}

uint8_t FadeChannel(uint8_t channel, float amount) {
  const float faded = channel * (1.0f - amount) + amount * 255.0f;
  return static_cast<uint8_t>(static_cast<uint32_t>(faded) & 0xFF);
}

void FadePixelRows(uint8_t* firstRow, ptrdiff_t stride, unsigned width, unsigned height, float amount) {
  const float clamped = ClampFadeAmount(amount);
  uint8_t table[256];
  for (unsigned value = 0; value < 256; ++value) table[value] = FadeChannel(static_cast<uint8_t>(value), clamped);
  for (unsigned row = 0; row < height; ++row) {
    uint8_t* pixel = firstRow + static_cast<ptrdiff_t>(row) * stride;
    for (unsigned column = 0; column < width; ++column, pixel += 4) {
      pixel[0] = table[pixel[0]];
      pixel[1] = table[pixel[1]];
      pixel[2] = table[pixel[2]];
    }
  }
}
