#ifndef TESTS_SUPPORT_SCOPEDROOTS_H
#define TESTS_SUPPORT_SCOPEDROOTS_H

#include <io/detail/paths.h>
#include <string>

namespace support
{
// Sets the bundle root for a scope and puts the previous one back, also when a test
// leaves early through a failed assertion.
class ScopedBundleRoot
{
public:
	explicit ScopedBundleRoot(const std::string& path) : m_previous(io::detail::bundlePath())
	{
		io::detail::setBundlePath(path);
	}
	~ScopedBundleRoot() { io::detail::setBundlePath(m_previous); }
	ScopedBundleRoot(const ScopedBundleRoot&) = delete;
	ScopedBundleRoot& operator=(const ScopedBundleRoot&) = delete;

private:
	std::string m_previous;
};

// The same for the root of the user files.
class ScopedUserRoot
{
public:
	explicit ScopedUserRoot(const std::string& path) : m_previous(io::detail::appdataPath())
	{
		io::detail::setAppdataPath(path);
	}
	~ScopedUserRoot() { io::detail::setAppdataPath(m_previous); }
	ScopedUserRoot(const ScopedUserRoot&) = delete;
	ScopedUserRoot& operator=(const ScopedUserRoot&) = delete;

private:
	std::string m_previous;
};
}

#endif
