#include <pf/DeviceID.h>
#include <analytics/AnalyticsDevice.h>
#include <util/SHA1.h>
#include <cstring>

namespace pf
{
DeviceID::DeviceID() :
	m_this(new Impl)
{
}

DeviceID::~DeviceID() {}

std::string DeviceID::getDeviceIDHash()
{
	return util::SHA1::hash(m_this->getDeviceID());
}

std::vector<char> DeviceID::Impl::getDeviceID() const
{
	// The same interface the analytics reports name the device by.
	std::string text = "unavailable";
	const std::string name = analytics::AnalyticsDevice::macInterface();
	if (!name.empty())
	{
		char buffer[32] = {0};
		analytics::analyticsGetMacAddress(buffer, name.c_str());
		if (buffer[0])
			text = buffer;
	}
	return std::vector<char>(text.begin(), text.end());
}
}
