#ifndef IMG_PNGGLUE_H
#define IMG_PNGGLUE_H

// libpng glue shared by the reader and the writer (private to the img library).
//
// libpng leaves a failed call by longjmp to png_jmpbuf; the recovery point is
// set in small functions that hold nothing with a destructor, and the C++
// caller throws once they return false.

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

/** Error handler: keeps the message and jumps to the recovery point. */
[[noreturn]] void pngErrorHandler(png_structp png, png_const_charp message);
/** Warnings are not failures. */
void pngWarningHandler(png_structp png, png_const_charp message);
}
}

#endif
