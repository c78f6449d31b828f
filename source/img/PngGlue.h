#ifndef IMG_PNGGLUE_H
#define IMG_PNGGLUE_H

// libpng glue shared by the reader and the writer (private to the img library).
//
// libpng leaves a failed call by longjmp to png_jmpbuf; the recovery point is
// set in small functions that hold nothing with a destructor, and the C++
// caller throws once they return false.

#include <img/ImageReader.h>
#include <png.h>
#include <exception>

namespace img
{
namespace detail
{
struct PngError
{
	char message[256];
	/** An exception thrown by our stream inside a library callback, rethrown after the call. */
	std::exception_ptr streamError;
};

struct PngInput
{
	io::InputStream* in;
	PngError* err;
};

/** Error handler: keeps the message and jumps to the recovery point. */
[[noreturn]] void pngErrorHandler(png_structp png, png_const_charp message);
/** Warnings are not failures. */
void pngWarningHandler(png_structp png, png_const_charp message);
}

/** The reader's libpng records, freed however the reading ends. */
struct ImageReader::PngState
{
	png_structp png = nullptr;
	png_infop info = nullptr;
	detail::PngError err;
	detail::PngInput input;

	PngState() = default;
	PngState(const PngState&) = delete;
	PngState& operator=(const PngState&) = delete;
	~PngState() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};
}

#endif
