#ifndef PF_APPSETTINGS_H
#define PF_APPSETTINGS_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>

namespace pf
{
class AppSettingsImpl;

/** Read-only boolean settings from the user defaults. */
class AppSettings : public lang::Object
{
public:
	/** Synchronises the user defaults, so values written by others are seen. */
	AppSettings();
	~AppSettings() override;

	/** Synchronises, then true when the key has any value. */
	bool isBoolean(const std::string& key) const;
	/** Synchronises, then the key's boolean value; a missing key reads false. */
	bool getBoolean(const std::string& key) const;

private:
	lang::Ptr<AppSettingsImpl> m_this;
};
}

#endif
