#pragma once
// Arithmetic of the washed-out icon and of the status mark; no Windows calls.
#include <cstddef>
#include <cstdint>

inline constexpr uint32_t statusDiscColor = 0x96FFFFFF;
inline constexpr uint32_t statusRingColor = 0xFFB3B3B3;
inline constexpr uint32_t statusArcColor = 0xFF00C3FF;
inline constexpr float statusArcStartAngle = -92.0f;
inline constexpr float placeholderFadeAmount = 0.75f;

// Where the mark lies in an image of width x height.
struct StatusMarkGeometry {
  int ringLeft;  // left and top of the ring's and the arc's bounding square
  int ringSide;
  float ringPen;
  int discLeft;  // left and top of the disc's bounding square
  int discSide;
  float arcPen;
};

StatusMarkGeometry ComputeStatusMarkGeometry(unsigned width, unsigned height);

// Clockwise sweep of the arc in degrees for a progress of 0 to 100.
float StatusArcSweep(int32_t progress);

// The amount limited to 0..1.
float ClampFadeAmount(float amount);

// One colour byte moved toward white by the (clamped) amount.
uint8_t FadeChannel(uint8_t channel, float amount);

// Fades the blue, green and red bytes of 32-bit BGRA rows in place and
// leaves alpha alone; stride is in bytes and may be negative.
void FadePixelRows(uint8_t* firstRow, ptrdiff_t stride, unsigned width, unsigned height, float amount);
