#include <io/AppDataInputStream.h>
#include <io/FileInputStream.h>
#include <io/detail/paths.h>
#include "FileStreams.h"

namespace io
{
AppDataInputStream::AppDataInputStream(const std::string& name) :
	InputStream(lang::Ptr<InputStream>(new FileInputStream(detail::pathUnderRoot(detail::appdataPath(), name))))
{
}
}
