#include <pf/AppSettings.h>
#include <pf/UserDefaults.h>

namespace pf
{
class AppSettingsImpl : public lang::Object
{
};

AppSettings::AppSettings() :
	m_this(new AppSettingsImpl)
{
	UserDefaults::synchronise();
}

AppSettings::~AppSettings() {}

bool AppSettings::isBoolean(const std::string& key) const
{
	UserDefaults::synchronise();
	return UserDefaults::has(key);
}

bool AppSettings::getBoolean(const std::string& key) const
{
	UserDefaults::synchronise();
	return UserDefaults::getBoolean(key);
}
}
