#include "JpegState.h"
#include "PngGlue.h"
#include <img/ImageWriter.h>
#include <io/IOException.h>
#include <lang/Format.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <climits>
#include <cstring>
#include <vector>

namespace img
{
using SF = gr::SurfaceFormat;

namespace
{
// ---- PNG

struct PngOutput
{
	io::OutputStream* out;
	detail::PngError* err;
};

void pngWrite(png_structp png, png_bytep data, png_size_t length)
{
	PngOutput* output = static_cast<PngOutput*>(png_get_io_ptr(png));
	try
	{
		output->out->write(data, static_cast<int>(length));
	}
	catch (...)
	{
		output->err->streamError = std::current_exception();
	}
	if (output->err->streamError)
		png_error(png, "Write error");
}

void pngFlush(png_structp) {}

struct PngRows
{
	const uint8_t* src;
	int srcRowBytes;
	uint8_t* row;
	SF srcFormat;
	SF rowFormat;
	int width;
	int height;
};

// Frees the libpng records however the writing ends (a source format with
// no row conversion throws from between the library calls).
struct PngWriteRecords
{
	png_structp png = nullptr;
	png_infop info = nullptr;
	~PngWriteRecords() { png_destroy_write_struct(&png, &info); }
};

bool protectedWritePng(png_structp png, png_infop info, int colorType, const PngRows* rows)
{
	if (setjmp(png_jmpbuf(png)))
		return false;
	png_set_IHDR(png, info, static_cast<png_uint_32>(rows->width), static_cast<png_uint_32>(rows->height), 8, colorType,
		PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
	png_set_bgr(png);
	png_write_info(png, info);
	for (int y = 0; y < rows->height; ++y)
	{
		rows->rowFormat.copyPixels(rows->row, SF(), nullptr, rows->srcFormat,
			rows->src + static_cast<ptrdiff_t>(y) * rows->srcRowBytes, SF(), nullptr, rows->width);
		png_write_row(png, rows->row);
	}
	png_write_end(png, info);
	return true;
}

// ---- JPEG

const int OUTPUT_BUFFER_SIZE = 16384;

struct DestinationManager
{
	jpeg_destination_mgr pub;
	JOCTET* buffer;
	io::OutputStream* out;
	detail::JpegError* err;
};

void writeOut(j_compress_ptr cinfo, int n)
{
	DestinationManager* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
	try
	{
		dest->out->write(dest->buffer, n);
	}
	catch (...)
	{
		dest->err->streamError = std::current_exception();
	}
	if (dest->err->streamError)
		ERREXIT(cinfo, JERR_FILE_WRITE);
}

void initDestination(j_compress_ptr cinfo)
{
	DestinationManager* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
	dest->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, OUTPUT_BUFFER_SIZE));
	dest->pub.next_output_byte = dest->buffer;
	dest->pub.free_in_buffer = OUTPUT_BUFFER_SIZE;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
	DestinationManager* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
	writeOut(cinfo, OUTPUT_BUFFER_SIZE);
	dest->pub.next_output_byte = dest->buffer;
	dest->pub.free_in_buffer = OUTPUT_BUFFER_SIZE;
	return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
	DestinationManager* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
	const int filled = OUTPUT_BUFFER_SIZE - static_cast<int>(dest->pub.free_in_buffer);
	if (filled > 0)
		writeOut(cinfo, filled);
}

bool protectedCreateCompress(jpeg_compress_struct* cinfo, detail::JpegError* err)
{
	if (setjmp(err->jump))
		return false;
	jpeg_create_compress(cinfo);
	return true;
}

bool protectedCompress(jpeg_compress_struct* cinfo, detail::JpegError* err, int quality, uint8_t* pixels)
{
	if (setjmp(err->jump))
		return false;
	jpeg_set_defaults(cinfo);
	jpeg_set_quality(cinfo, quality, TRUE);
	jpeg_start_compress(cinfo, TRUE);
	const size_t rowBytes = static_cast<size_t>(cinfo->image_width) * 3;
	while (cinfo->next_scanline < cinfo->image_height)
	{
		JSAMPROW row = pixels + cinfo->next_scanline * rowBytes;
		jpeg_write_scanlines(cinfo, &row, 1);
	}
	jpeg_finish_compress(cinfo);
	return true;
}

struct CompressRecord
{
	jpeg_compress_struct cinfo;
	detail::JpegError err;
	bool created = false;
	~CompressRecord()
	{
		if (created)
			jpeg_destroy_compress(&cinfo);
	}
};
}

void ImageWriter::write(io::OutputStream& out, io::FileFormat fileFormat, const void* data, int w, int h,
	gr::SurfaceFormat format, gr::SurfaceFormat)
{
	switch (fileFormat)
	{
	case io::FILEFORMAT_JPG:
		writeJPG(out, data, w, h, format, 100);
		break;
	case io::FILEFORMAT_PNG:
		writePNG(out, data, w, h, format);
		break;
	case io::FILEFORMAT_RAW:
		out.write(data, format.getMemoryUsage(w, h));
		break;
	default:
		lang::throwError(io::IOException(lang::Format("Unsupported ImageWriter file format {0}", io::toString(fileFormat))));
	}
}

void ImageWriter::writePNG(io::OutputStream& out, const void* data, int w, int h, gr::SurfaceFormat format)
{
	detail::PngError err;
	err.message[0] = 0;
	PngWriteRecords rec;
	rec.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &err, detail::pngErrorHandler, detail::pngWarningHandler);
	if (!rec.png)
		lang::throwError(io::IOException(lang::Format("png_create_write_struct failed while saving \"{0}\" ({1}x{2}, srcformat {3})",
			out.toString(), w, h, format.toString())));
	rec.info = png_create_info_struct(rec.png);
	if (!rec.info)
		lang::throwError(io::IOException(lang::Format("png_create_info_struct failed while saving \"{0}\" ({1}x{2}, format {3})",
			out.toString(), w, h, format.toString())));

	PngOutput output = {&out, &err};
	png_set_write_fn(rec.png, &output, pngWrite, pngFlush);

	const bool alpha = format.hasAlpha();
	const SF rowFormat(alpha ? SF::SURFACE_A8R8G8B8 : SF::SURFACE_R8G8B8);
	std::vector<uint8_t> row(static_cast<size_t>(w > 0 ? rowFormat.getMemoryUsage(w, 1) : 0) + 1, 0);
	const PngRows rows = {static_cast<const uint8_t*>(data), format.getMemoryUsage(w, 1), row.data(), format, rowFormat, w, h};

	if (!protectedWritePng(rec.png, rec.info, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, &rows))
	{
		if (err.streamError)
			std::rethrow_exception(err.streamError);
		lang::throwError(io::IOException(lang::Format("Failed to write PNG \"{0}\" ({1}x{2}): {3}", out.toString(), w, h, err.message)));
	}
}

void ImageWriter::writeJPG(io::OutputStream& out, const void* data, int w, int h, gr::SurfaceFormat format, int quality)
{
	const SF rgb(SF::SURFACE_B8G8R8);
	const int rgbPitch = w > 0 ? rgb.getMemoryUsage(w, 1) : 0;
	std::vector<uint8_t> pixels(static_cast<size_t>(rgbPitch) * (h > 0 ? h : 0) + 1, 0);
	if (w > 0 && h > 0)
		rgb.copyPixels(pixels.data(), rgbPitch, SF(), nullptr, format, data, format.getMemoryUsage(w, 1), SF(), nullptr, w, h);

	CompressRecord rec;
	std::memset(&rec.cinfo, 0, sizeof(rec.cinfo));
	rec.cinfo.err = detail::initJpegError(&rec.err);
	bool ok = protectedCreateCompress(&rec.cinfo, &rec.err);
	if (ok)
	{
		rec.created = true;
		if (!rec.cinfo.dest)
		{
			DestinationManager* dest = static_cast<DestinationManager*>((*rec.cinfo.mem->alloc_small)(
				reinterpret_cast<j_common_ptr>(&rec.cinfo), JPOOL_PERMANENT, sizeof(DestinationManager)));
			dest->pub.init_destination = initDestination;
			dest->pub.empty_output_buffer = emptyOutputBuffer;
			dest->pub.term_destination = termDestination;
			dest->buffer = nullptr;
			dest->out = &out;
			dest->err = &rec.err;
			rec.cinfo.dest = &dest->pub;
		}
		rec.cinfo.image_width = static_cast<JDIMENSION>(w > 0 ? w : 0);
		rec.cinfo.image_height = static_cast<JDIMENSION>(h > 0 ? h : 0);
		rec.cinfo.input_components = 3;
		rec.cinfo.in_color_space = JCS_RGB;
		ok = protectedCompress(&rec.cinfo, &rec.err, quality, pixels.data());
	}
	if (!ok)
	{
		if (rec.err.streamError)
			std::rethrow_exception(rec.err.streamError);
		lang::throwError(io::IOException(lang::Format("Failed to write JPG \"{0}\" ({1}x{2}): {3}", out.toString(), w, h, rec.err.message)));
	}
}
}
