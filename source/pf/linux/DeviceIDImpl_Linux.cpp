#include <pf/DeviceID.h>
#include <pf/DeviceFacts.h>
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
	// The interface the analytics reports name the device by, unless they are told another.
	std::string text = "unavailable";
	const std::string name = DeviceFacts::macInterface();
	if (!name.empty())
	{
		const std::string mac = DeviceFacts::macAddress(name);
		if (!mac.empty())
			text = mac;
	}
	return std::vector<char>(text.begin(), text.end());
}
}
