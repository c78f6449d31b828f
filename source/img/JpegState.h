#ifndef IMG_JPEGSTATE_H
#define IMG_JPEGSTATE_H

// libjpeg glue shared by the reader and the writer (private to the img library).
//
// libjpeg reports fatal errors by calling error_exit, which must not return.
// Ours jumps back to a recovery point set just before the library call; the
// C++ caller then cleans up and throws. Nothing with a destructor may live in
// the frames between the recovery point and the library.

#include <img/ImageReader.h>
#include <csetjmp>
#include <cstdio>
#include <exception>
#include <jpeglib.h>
#include <jerror.h>

namespace img
{
namespace detail
{
struct JpegError
{
	jpeg_error_mgr pub;
	jmp_buf jump;
	char message[JMSG_LENGTH_MAX];
	/** An exception thrown by our stream inside a library callback, rethrown after the call. */
	std::exception_ptr streamError;
};

/** Sets the standard manager up with handlers that leave through err->jump. */
jpeg_error_mgr* initJpegError(JpegError* err);
}

struct ImageReader::JpegState
{
	jpeg_decompress_struct cinfo;
	detail::JpegError err;
	bool created = false;

	JpegState() = default;
	JpegState(const JpegState&) = delete;
	JpegState& operator=(const JpegState&) = delete;
	~JpegState()
	{
		if (created)
			jpeg_destroy_decompress(&cinfo);
	}
};
}

#endif
