#ifndef TESTS_SUPPORT_SCOPEDROOTS_H
#define TESTS_SUPPORT_SCOPEDROOTS_H

#include <io/detail/paths.h>
#include <string>

namespace support
{
// Sets a root folder for a scope and puts the previous one back, also when a test
// leaves early through a failed assertion.
template <std::string (*Get)(), void (*Set)(const std::string&)> class ScopedRoot
{
public:
	explicit ScopedRoot(const std::string& path) : m_previous(Get()) { Set(path); }
	~ScopedRoot() { Set(m_previous); }
	ScopedRoot(const ScopedRoot&) = delete;
	ScopedRoot& operator=(const ScopedRoot&) = delete;

private:
	std::string m_previous;
};

/** The root of the read-only bundle files. */
typedef ScopedRoot<io::detail::bundlePath, io::detail::setBundlePath> ScopedBundleRoot;
/** The root of the writable user files. */
typedef ScopedRoot<io::detail::appdataPath, io::detail::setAppdataPath> ScopedUserRoot;
}

#endif
