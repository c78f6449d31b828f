#ifndef GR_ETCDECODER_H
#define GR_ETCDECODER_H

namespace gr
{
/** Flip bit of an ETC1 block's first little-endian word: sub-blocks are 4 x 2, one above the other. */
const unsigned int ETC_FLIP = 0x01000000;
/** Differential bit: the second base colour is a 3-bit delta from the first. */
const unsigned int ETC_DIFF = 0x02000000;

/**
 * Decodes a whole ETC1 image into dst as width x height pixels of four
 * bytes (red, green, blue, alpha 255), rows tightly packed. Returns the
 * bytes of compressed data read: ceil(width/4) x ceil(height/4) x 8.
 * mode is unused (pass 0).
 */
int decompressETC(const void* src, const unsigned int& width, const unsigned int& height, void* dst, const int& mode);

/** Decodes one ETC1 block to 4 x 4 pixels of red, green, blue, alpha bytes, row-major. */
void decodeETC1Block(const void* block, unsigned char out[64]);
}

#endif
