#include <pf/DeviceInfo.h>
#include <pf/DeviceFacts.h>

namespace pf
{
class DeviceInfoImpl : public lang::Object
{
};

DeviceInfo::DeviceInfo() :
	m_this(new DeviceInfoImpl)
{
}

DeviceInfo::~DeviceInfo() {}

std::string DeviceInfo::getOSVersion() const
{
	return DeviceFacts::osVersion();
}

std::string DeviceInfo::getModel() const
{
	return DeviceFacts::machine();
}
}
