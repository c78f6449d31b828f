#ifndef PF_DETAIL_FILESTAMP_H
#define PF_DETAIL_FILESTAMP_H

#include <string>
#include <sys/stat.h>

namespace pf
{
namespace detail
{
/**
 * What a file looked like when this process last read or wrote it; another
 * process's change (a new inode after a rename, a new size or time) shows
 * as a difference, so a state file is read again only when it changed.
 */
struct FileStamp
{
	bool exists = false;
	dev_t device = 0;
	ino_t inode = 0;
	off_t size = 0;
	long long modified = 0;

	static FileStamp of(const std::string& path)
	{
		FileStamp s;
		struct stat st;
		if (stat(path.c_str(), &st) != 0)
			return s;
		s.exists = true;
		s.device = st.st_dev;
		s.inode = st.st_ino;
		s.size = st.st_size;
		s.modified = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
		return s;
	}

	bool operator==(const FileStamp& o) const
	{
		return exists == o.exists && device == o.device && inode == o.inode && size == o.size && modified == o.modified;
	}
	bool operator!=(const FileStamp& o) const { return !(*this == o); }
};
}
}

#endif
