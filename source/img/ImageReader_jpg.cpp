#include "JpegState.h"
#include <img/ImageReader.h>
#include <io/IOException.h>
#include <lang/Format.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <cstring>

namespace img
{
namespace detail
{
static void jpegErrorExit(j_common_ptr cinfo)
{
	JpegError* err = reinterpret_cast<JpegError*>(cinfo->err);
	(*cinfo->err->format_message)(cinfo, err->message);
	longjmp(err->jump, 1);
}

// Warnings that mean image data was lost are failures too; the others
// (unknown JFIF revision, stray bytes between markers...) still decode whole.
static void jpegEmitMessage(j_common_ptr cinfo, int level)
{
	if (level >= 0)
		return;
	switch (cinfo->err->msg_code)
	{
	case JWRN_ARITH_BAD_CODE:
	case JWRN_BOGUS_PROGRESSION:
	case JWRN_HIT_MARKER:
	case JWRN_HUFF_BAD_CODE:
	case JWRN_JPEG_EOF:
	case JWRN_MUST_RESYNC:
	case JWRN_NOT_SEQUENTIAL:
		jpegErrorExit(cinfo);
		break;
	default:
		++cinfo->err->num_warnings;
		break;
	}
}

static void jpegOutputMessage(j_common_ptr) {}

jpeg_error_mgr* initJpegError(JpegError* err)
{
	jpeg_std_error(&err->pub);
	err->pub.error_exit = jpegErrorExit;
	err->pub.emit_message = jpegEmitMessage;
	err->pub.output_message = jpegOutputMessage;
	err->message[0] = 0;
	return &err->pub;
}

namespace
{
const int INPUT_BUFFER_SIZE = 4096;

struct SourceManager
{
	jpeg_source_mgr pub;
	io::InputStream* in;
	JOCTET* buffer;
	boolean startOfFile;
	JpegError* err;
};

void initSource(j_decompress_ptr cinfo)
{
	reinterpret_cast<SourceManager*>(cinfo->src)->startOfFile = TRUE;
}

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
	SourceManager* src = reinterpret_cast<SourceManager*>(cinfo->src);
	int n = 0;
	try
	{
		n = src->in->read(src->buffer, INPUT_BUFFER_SIZE);
	}
	catch (...)
	{
		src->err->streamError = std::current_exception();
	}
	if (src->err->streamError)
		ERREXIT(cinfo, JERR_FILE_READ);
	if (n <= 0)
	{
		// A stream that ends before the end-of-image marker is a truncated file.
		if (src->startOfFile)
			ERREXIT(cinfo, JERR_INPUT_EMPTY);
		ERREXIT(cinfo, JERR_INPUT_EOF);
	}
	src->pub.next_input_byte = src->buffer;
	src->pub.bytes_in_buffer = static_cast<size_t>(n);
	src->startOfFile = FALSE;
	return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
	SourceManager* src = reinterpret_cast<SourceManager*>(cinfo->src);
	if (count <= 0)
		return;
	while (count > static_cast<long>(src->pub.bytes_in_buffer))
	{
		count -= static_cast<long>(src->pub.bytes_in_buffer);
		fillInputBuffer(cinfo);
	}
	src->pub.next_input_byte += count;
	src->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void termSource(j_decompress_ptr) {}

// Each of these returns false when libjpeg failed; they hold nothing that needs destroying.
bool protectedCreate(jpeg_decompress_struct* cinfo, JpegError* err)
{
	if (setjmp(err->jump))
		return false;
	jpeg_create_decompress(cinfo);
	return true;
}

bool protectedReadHeader(jpeg_decompress_struct* cinfo, JpegError* err)
{
	if (setjmp(err->jump))
		return false;
	jpeg_read_header(cinfo, TRUE);
	return true;
}

bool protectedDimensions(jpeg_decompress_struct* cinfo, JpegError* err)
{
	if (setjmp(err->jump))
		return false;
	jpeg_calc_output_dimensions(cinfo);
	return true;
}

bool protectedStart(jpeg_decompress_struct* cinfo, JpegError* err)
{
	if (setjmp(err->jump))
		return false;
	jpeg_start_decompress(cinfo);
	return true;
}

// Reads rows straight into the destination, as many as libjpeg hands out at once.
bool protectedReadRows(jpeg_decompress_struct* cinfo, JpegError* err, uint8_t* dst, int pitch)
{
	if (setjmp(err->jump))
		return false;
	JSAMPROW rows[16];
	while (cinfo->output_scanline < cinfo->output_height)
	{
		const JDIMENSION first = cinfo->output_scanline;
		JDIMENSION n = cinfo->output_height - first;
		if (n > 16)
			n = 16;
		for (JDIMENSION i = 0; i < n; ++i)
			rows[i] = dst + static_cast<ptrdiff_t>(first + i) * pitch;
		if (jpeg_read_scanlines(cinfo, rows, n) == 0)
			ERREXIT(cinfo, JERR_INPUT_EOF);
	}
	return true;
}

// The libjpeg-turbo colour space that writes a surface format's bytes itself; JCS_UNKNOWN for
// formats it has no layout for (converted from RGB rows instead). X bytes are written 0xFF,
// as the conversion from RGB rows writes them.
J_COLOR_SPACE outputSpace(const gr::SurfaceFormat& format)
{
	using SF = gr::SurfaceFormat;
	switch (format.type())
	{
	case SF::SURFACE_B8G8R8: return JCS_EXT_RGB;
	case SF::SURFACE_R8G8B8: return JCS_EXT_BGR;
	case SF::SURFACE_A8B8G8R8: return JCS_EXT_RGBA;
	case SF::SURFACE_X8B8G8R8: return JCS_EXT_RGBA;
	case SF::SURFACE_A8R8G8B8: return JCS_EXT_BGRA;
	case SF::SURFACE_X8R8G8B8: return JCS_EXT_BGRA;
	default: return JCS_UNKNOWN;
	}
}

bool protectedReadRow(jpeg_decompress_struct* cinfo, JpegError* err, JSAMPROW row)
{
	if (setjmp(err->jump))
		return false;
	while (jpeg_read_scanlines(cinfo, &row, 1) != 1)
	{
		// A suspending source would return 0; ours always delivers or fails.
		ERREXIT(cinfo, JERR_INPUT_EOF);
	}
	return true;
}

bool protectedFinish(jpeg_decompress_struct* cinfo, JpegError* err)
{
	if (setjmp(err->jump))
		return false;
	jpeg_finish_decompress(cinfo);
	return true;
}
}
}

void ImageReader::finishJpeg()
{
	if (m_jpeg && m_jpeg->created)
	{
		jpeg_destroy_decompress(&m_jpeg->cinfo);
		m_jpeg->created = false;
	}
}

// Destroys the decompressor and throws what made libjpeg fail.
[[noreturn]] static void throwJpegError(jpeg_decompress_struct* cinfo, detail::JpegError* err, bool* created, const std::string& name)
{
	if (*created)
	{
		jpeg_destroy_decompress(cinfo);
		*created = false;
	}
	if (err->streamError)
	{
		std::exception_ptr e = err->streamError;
		err->streamError = nullptr;
		std::rethrow_exception(e);
	}
	lang::throwError(io::IOException(lang::Format("Failed to read JPG {0}: {1}", name, err->message)));
}

void ImageReader::readHeader_jpg()
{
	m_jpeg.reset(new JpegState());
	JpegState* s = m_jpeg.get();
	std::memset(&s->cinfo, 0, sizeof(s->cinfo));
	s->cinfo.err = detail::initJpegError(&s->err);
	if (!detail::protectedCreate(&s->cinfo, &s->err))
		throwJpegError(&s->cinfo, &s->err, &s->created, m_in->toString());
	s->created = true;

	if (!s->cinfo.src)
	{
		j_common_ptr common = reinterpret_cast<j_common_ptr>(&s->cinfo);
		detail::SourceManager* src = static_cast<detail::SourceManager*>(
			(*s->cinfo.mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(detail::SourceManager)));
		src->buffer = static_cast<JOCTET*>(
			(*s->cinfo.mem->alloc_small)(common, JPOOL_PERMANENT, detail::INPUT_BUFFER_SIZE));
		src->pub.init_source = detail::initSource;
		src->pub.fill_input_buffer = detail::fillInputBuffer;
		src->pub.skip_input_data = detail::skipInputData;
		src->pub.resync_to_restart = jpeg_resync_to_restart;
		src->pub.term_source = detail::termSource;
		src->pub.next_input_byte = nullptr;
		src->pub.bytes_in_buffer = 0;
		src->in = m_in.ptr();
		src->startOfFile = TRUE;
		src->err = &s->err;
		s->cinfo.src = &src->pub;
	}

	if (!detail::protectedReadHeader(&s->cinfo, &s->err))
		throwJpegError(&s->cinfo, &s->err, &s->created, m_in->toString());
	// The size is checked before decompression starts: a progressive file has its whole
	// picture allocated then.
	m_width = static_cast<int>(s->cinfo.image_width);
	m_height = static_cast<int>(s->cinfo.image_height);
	m_fmt = gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_B8G8R8);
	try
	{
		checkSurfaceSize();
	}
	catch (...)
	{
		finishJpeg();
		throw;
	}
	// Decompression starts when the destination format is known, so libjpeg can write it.
	if (!detail::protectedDimensions(&s->cinfo, &s->err))
		throwJpegError(&s->cinfo, &s->err, &s->created, m_in->toString());

	const int components = s->cinfo.output_components;
	m_width = static_cast<int>(s->cinfo.output_width);
	m_height = static_cast<int>(s->cinfo.output_height);
	m_bitsPerPixel = 8 * components;
	m_pitch = components * m_width;
	m_surfaceCount = 1;
	m_bottomUp = false;
	m_fmt = gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_B8G8R8);
	m_paletteFormat = gr::SurfaceFormat();

	if (components != 3)
	{
		finishJpeg();
		lang::throwError(io::IOException(lang::Format("Grayscale JPG ({0}) is not supported", m_in->toString())));
	}
}

void ImageReader::readScanline_jpg(void* row)
{
	if (!detail::protectedReadRow(&m_jpeg->cinfo, &m_jpeg->err, static_cast<JSAMPROW>(row)))
		throwJpegError(&m_jpeg->cinfo, &m_jpeg->err, &m_jpeg->created, m_in->toString());
}

void ImageReader::readSurface_jpg(void* dst, int pitch, int w, int h, gr::SurfaceFormat dstFormat,
	const void* dstPalette, gr::SurfaceFormat dstPaletteFormat)
{
	LANG_ASSERT(m_jpeg && m_jpeg->created);
	LANG_ASSERT(w == m_width);
	LANG_ASSERT(h == m_height);
	jpeg_decompress_struct* cinfo = &m_jpeg->cinfo;
	const J_COLOR_SPACE space = detail::outputSpace(dstFormat);
	if (space != JCS_UNKNOWN)
		cinfo->out_color_space = space;
	if (!detail::protectedStart(cinfo, &m_jpeg->err))
		throwJpegError(cinfo, &m_jpeg->err, &m_jpeg->created, m_in->toString());
	if (space == JCS_UNKNOWN)
		readScanlines(dst, pitch, w, h, dstFormat, dstPalette, dstPaletteFormat);
	else if (!detail::protectedReadRows(cinfo, &m_jpeg->err, static_cast<uint8_t*>(dst), pitch))
		throwJpegError(cinfo, &m_jpeg->err, &m_jpeg->created, m_in->toString());
	if (!detail::protectedFinish(&m_jpeg->cinfo, &m_jpeg->err))
		throwJpegError(&m_jpeg->cinfo, &m_jpeg->err, &m_jpeg->created, m_in->toString());
	finishJpeg();
}
}
