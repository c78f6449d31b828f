#include <io/BundleInputStream.h>
#include <io/FileInputStream.h>
#include <io/detail/paths.h>
#include "FileStreams.h"

namespace io
{
BundleInputStream::BundleInputStream(const std::string& name) :
	InputStream(lang::Ptr<InputStream>(new FileInputStream(detail::pathUnderRoot(detail::bundlePath(), name))))
{
}
}
