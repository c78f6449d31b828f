#ifndef IO_PATHNAME_H
#define IO_PATHNAME_H

#include <string>

namespace io
{
/**
 * A path split into drive (through ':'), directory (through the last '/'),
 * base name and suffix (from the last '.', dot included). Backslashes become
 * slashes; "." and ".." components are resolved, except in a path that
 * begins with "..", which is kept as it is.
 */
class PathName
{
public:
	/** The empty path. */
	PathName() {}
	explicit PathName(const std::string& path);
	/** Joins dir and name with one '/'; one leading '/' or '\' of name is dropped when dir is not empty. */
	PathName(const std::string& dir, const std::string& name);

	/** Parses path joined with name; name may be null. */
	void parse(const char* path, const char* name);

	/** The path with one trailing '/' removed, cut before its last '/'. */
	PathName parent() const;
	/** Base name followed by suffix. */
	std::string filename() const;

	/** The full, normalised path. */
	const char* toString() const { return m_path.c_str(); }
	const char* drive() const { return m_drv.c_str(); }
	const char* directory() const { return m_dir.c_str(); }
	const char* basename() const { return m_basename.c_str(); }
	const char* suffix() const { return m_suffix.c_str(); }

private:
	std::string m_path;
	std::string m_drv;
	std::string m_dir;
	std::string m_basename;
	std::string m_suffix;
};
}

#endif
