#ifndef GR_DXTDECODER_H
#define GR_DXTDECODER_H

#include <stdint.h>

namespace gr
{
/** DXT colour block: two R5G6B5 end points, then one byte of 2-bit indices per pixel row. */
struct DXTColBlock
{
	uint16_t col0;
	uint16_t col1;
	uint8_t row[4];
};

/** The four colours of a DXT colour block as A8R8G8B8 values (c3 is transparent black in three-colour mode). */
void getBlockColorsA8R8G8B8(const DXTColBlock* block, unsigned int colours[4]);

/**
 * Decodes one 4 x 4 block to A8R8G8B8 pixels, row-major. blockBytes is
 * 8 for DXT1 and 16 for DXT3 or DXT5 (dxtVersion 1, 3 or 5).
 */
void decodeDXTBlock(int dxtVersion, const void* block, uint32_t out[16]);

/** Pixel (x, y) of a DXT5 image whose rows of blocks are srcPitch bytes apart, as A8R8G8B8. */
uint32_t getPixelDXT5(int x, int y, const void* src, int srcPitch);
}

#endif
