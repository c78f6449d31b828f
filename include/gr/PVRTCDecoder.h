#ifndef GR_PVRTCDECODER_H
#define GR_PVRTCDECODER_H

#include <stdint.h>

namespace gr
{
/** One PVRTC block: the modulation word, then the colour word (both little-endian). */
struct PVRTCWord
{
	uint32_t modulationData;
	uint32_t colourData;
};

/**
 * Decodes a whole PVRTC image (do2bit 1: 2 bits per pixel, 0: 4) into dst
 * as width x height pixels of red, green, blue, alpha bytes, rows tightly
 * packed. Images smaller than 16 x 8 (2 bpp) or 8 x 8 (4 bpp) are decoded
 * at that size and cut. Returns the bytes of compressed data read.
 * Throws GraphicsException unless the padded size in blocks is a power of two.
 */
int decompressPVRTC(const void* src, int do2bit, int width, int height, unsigned char* dst);

/** Index of block (xPos, yPos) in the twiddled (Morton) order of an xSize x ySize block grid. */
uint32_t TwiddleUV(uint32_t xSize, uint32_t ySize, uint32_t xPos, uint32_t yPos);
}

#endif
