#include <pf/DeviceInfo.h>
#include <analytics/AnalyticsUtil.h>
#include <analytics/AnalyticsDevice.h>
#include <cstdlib>

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
	return analytics::AnalyticsUtil::systemVersion();
}

std::string DeviceInfo::getModel() const
{
	return analytics::AnalyticsDevice::platform();
}

double DeviceInfo::osVersionNumber()
{
	return std::strtod(analytics::AnalyticsUtil::systemVersion().c_str(), nullptr);
}
}
