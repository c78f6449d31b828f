#include "PngGlue.h"
#include <img/ImageReader.h>
#include <io/IOException.h>
#include <lang/Format.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <climits>
#include <string>
#include <cstring>

namespace img
{
namespace detail
{
void pngErrorHandler(png_structp png, png_const_charp message)
{
	PngError* err = static_cast<PngError*>(png_get_error_ptr(png));
	if (err)
	{
		std::strncpy(err->message, message ? message : "", sizeof(err->message) - 1);
		err->message[sizeof(err->message) - 1] = 0;
	}
	// Leave now: returning would make libpng print the message before it jumps.
	png_longjmp(png, 1);
}

void pngWarningHandler(png_structp, png_const_charp) {}

namespace
{
void pngRead(png_structp png, png_bytep data, png_size_t length)
{
	PngInput* input = static_cast<PngInput*>(png_get_io_ptr(png));
	LANG_ASSERT(input != 0);
	if (length > static_cast<png_size_t>(INT_MAX))
		png_error(png, "Chunk too long");
	int got = 0;
	try
	{
		got = input->in->read(data, static_cast<int>(length));
	}
	catch (...)
	{
		input->err->streamError = std::current_exception();
	}
	if (input->err->streamError)
		png_error(png, "Read error");
	if (got != static_cast<int>(length))
		png_error(png, "Unexpected end of file");
}

// Reads the chunks before the pixels; storedBits: bits per pixel as the file stores them.
bool protectedReadInfo(png_structp png, png_infop info, int* storedBits)
{
	if (setjmp(png_jmpbuf(png)))
		return false;
	png_read_info(png, info);
	*storedBits = png_get_bit_depth(png, info) * png_get_channels(png, info);
	return true;
}

// Sets up the transforms; libpng allocates its row buffers here.
bool protectedStartRows(png_structp png, png_infop info)
{
	if (setjmp(png_jmpbuf(png)))
		return false;
	if (png_get_bit_depth(png, info) < 8)
		png_set_expand(png);
	// 16-bit samples are read as 8-bit, rounded.
	if (png_get_bit_depth(png, info) == 16)
		png_set_scale_16(png);
	png_set_interlace_handling(png);
	png_read_update_info(png, info);
	return true;
}

bool protectedReadImage(png_structp png, png_bytepp rows)
{
	if (setjmp(png_jmpbuf(png)))
		return false;
	png_read_image(png, rows);
	return true;
}
}
}

void ImageReader::readHeader_png()
{
	const std::string name = m_in->toString();
	png_byte signature[8];
	if (m_in->read(signature, 8) != 8 || png_sig_cmp(signature, 0, 8) != 0)
		lang::throwError(io::IOException(lang::Format("png_check_sig failed while loading \"{0}\". File is not png?", name)));

	m_png.reset(new PngState());
	PngState& rec = *m_png;
	detail::PngError& err = rec.err;
	err.message[0] = 0;
	rec.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &err, detail::pngErrorHandler, detail::pngWarningHandler);
	if (!rec.png)
		lang::throwError(io::IOException(lang::Format("png_create_read_struct failed while loading \"{0}\"", name)));
	rec.info = png_create_info_struct(rec.png);
	if (!rec.info)
		lang::throwError(io::IOException(lang::Format("png_create_info_struct failed while loading \"{0}\"", name)));

	rec.input = {m_in.ptr(), &err};
	png_set_read_fn(rec.png, &rec.input, detail::pngRead);
	png_set_sig_bytes(rec.png, 8);
	// Bounded input: a chunk may declare up to 2 GiB, which libpng would allocate (and zero)
	// before finding the file too short. The chunk limit alone only warns, so the chunks
	// that would be kept in memory and are not used here are skipped without a buffer.
	png_set_chunk_malloc_max(rec.png, 8 << 20);
	// libpng's own limit stays far above ours, so that the refusal below can give the size.
	const png_uint_32 maxSide = static_cast<png_uint_32>(gr::SurfaceFormat::MAX_SURFACE_BYTES / 4);
	png_set_user_limits(rec.png, maxSide, maxSide);
	static const png_byte skipped[] = "tEXt\0zTXt\0iTXt\0sPLT\0iCCP\0eXIf\0pCAL\0sCAL\0";
	png_set_keep_unknown_chunks(rec.png, PNG_HANDLE_CHUNK_NEVER, skipped, 8);

	auto fail = [&]() {
		if (err.streamError)
			std::rethrow_exception(err.streamError);
		lang::throwError(io::IOException(lang::Format("Failed to read PNG \"{0}\": {1}", name, err.message)));
	};

	int storedBits = 0;
	if (!detail::protectedReadInfo(rec.png, rec.info, &storedBits))
		fail();

	const png_uint_32 width = png_get_image_width(rec.png, rec.info);
	const png_uint_32 height = png_get_image_height(rec.png, rec.info);
	// The size is checked before libpng allocates rows for it. Deflate packs at most about
	// 1032 bytes into one, so a declared size far beyond what the rest of the file can hold
	// is refused; the file holds rows as stored (1-, 2- and 4-bit pixels packed).
	const uint64_t storedRowBytes = (static_cast<uint64_t>(width) * static_cast<uint64_t>(storedBits) + 7) / 8;
	const int avail = m_in->available();
	if (avail >= 0 && (storedRowBytes + 1) * height > static_cast<uint64_t>(avail) * 1100 + 65536)
		lang::throwError(io::IOException(lang::Format("Failed to read PNG \"{0}\": image size {1}x{2} does not fit the file", name,
			std::to_string(width), std::to_string(height))));
	m_width = static_cast<int>(width);
	m_height = static_cast<int>(height);
	checkSurfaceSize();
	if (!detail::protectedStartRows(rec.png, rec.info))
		fail();
	const int bitDepth = png_get_bit_depth(rec.png, rec.info);
	const int colorType = png_get_color_type(rec.png, rec.info);
	if (bitDepth != 8)
		lang::throwError(io::IOException(lang::Format("{0}-bit PNG \"{1}\" is not supported", bitDepth, name)));

	using SF = gr::SurfaceFormat;
	m_paletteFormat = SF();
	switch (colorType)
	{
	case PNG_COLOR_TYPE_GRAY:
		m_fmt = SF(SF::SURFACE_L8);
		break;
	case PNG_COLOR_TYPE_RGB:
		m_fmt = SF(SF::SURFACE_B8G8R8);
		break;
	case PNG_COLOR_TYPE_GRAY_ALPHA:
		m_fmt = SF(SF::SURFACE_A8L8);
		break;
	case PNG_COLOR_TYPE_RGB_ALPHA:
		m_fmt = SF(SF::SURFACE_A8B8G8R8);
		break;
	case PNG_COLOR_TYPE_PALETTE:
	{
		m_fmt = SF(SF::SURFACE_P8);
		m_paletteFormat = SF(SF::SURFACE_A8R8G8B8);
		std::memset(m_palette, 0xFF, sizeof(m_palette));
		png_colorp palette = nullptr;
		int count = 0;
		if (png_get_PLTE(rec.png, rec.info, &palette, &count) & PNG_INFO_PLTE)
		{
			LANG_ASSERT(count <= 256);
			for (int i = 0; i < count; ++i)
			{
				m_palette[4 * i] = palette[i].blue;
				m_palette[4 * i + 1] = palette[i].green;
				m_palette[4 * i + 2] = palette[i].red;
			}
		}
		if (png_get_valid(rec.png, rec.info, PNG_INFO_tRNS))
		{
			png_bytep alpha = nullptr;
			int alphaCount = 0;
			png_color_16p unused = nullptr;
			png_get_tRNS(rec.png, rec.info, &alpha, &alphaCount, &unused);
			LANG_ASSERT(alphaCount <= 256);
			for (int i = 0; i < alphaCount && alpha; ++i)
				m_palette[4 * i + 3] = alpha[i];
		}
		break;
	}
	default:
		lang::throwError(io::IOException(lang::Format("Failed to read PNG \"{0}\": colour type {1} not supported", name, colorType)));
	}

	const size_t rowBytes = png_get_rowbytes(rec.png, rec.info);
	LANG_ASSERT(m_fmt.bitsPerPixel() == png_get_bit_depth(rec.png, rec.info) * png_get_channels(rec.png, rec.info));
	LANG_ASSERT((unsigned int)m_fmt.getMemoryUsage(static_cast<int>(width), 1) == rowBytes);

	m_bitsPerPixel = m_fmt.bitsPerPixel();
	m_pitch = static_cast<int>(rowBytes);
	m_mipLevels = 1;
	m_surfaceCount = 1;
}

void ImageReader::readSurface_png(void* dst, int pitch, int w, int h, gr::SurfaceFormat dstFormat,
	const void* dstPalette, gr::SurfaceFormat dstPaletteFormat)
{
	LANG_ASSERT(m_png);
	LANG_ASSERT(w == m_width && h == m_height);
	// Rows of the file's own format go straight to the destination; others through one copy.
	const bool direct = dstFormat.type() == m_fmt.type();
	std::vector<uint8_t> own;
	uint8_t* base = static_cast<uint8_t*>(dst);
	size_t rowPitch = static_cast<size_t>(pitch);
	if (!direct)
	{
		own.resize(static_cast<size_t>(m_pitch) * h);
		base = own.data();
		rowPitch = static_cast<size_t>(m_pitch);
	}
	std::vector<png_bytep> rows(static_cast<size_t>(h));
	for (int i = 0; i < h; ++i)
		rows[i] = base + static_cast<size_t>(i) * rowPitch;

	const bool read = detail::protectedReadImage(m_png->png, rows.data());
	std::unique_ptr<PngState> done(std::move(m_png));
	if (!read)
	{
		if (done->err.streamError)
			std::rethrow_exception(done->err.streamError);
		lang::throwError(io::IOException(lang::Format("Failed to read PNG \"{0}\": {1}", m_in->toString(), done->err.message)));
	}
	if (!direct)
		dstFormat.copyPixels(dst, pitch, dstPaletteFormat, dstPalette, m_fmt, own.data(), m_pitch, m_paletteFormat, m_palette, w, h);
}
}
