#ifndef PF_DEVICEINFO_H
#define PF_DEVICEINFO_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>

namespace pf
{
class DeviceInfoImpl;

/** The system version and the hardware model. */
class DeviceInfo : public lang::Object
{
public:
	DeviceInfo();
	~DeviceInfo() override;

	/** The system's version ("12" on Debian 12; the kernel release without os-release). */
	std::string getOSVersion() const;
	/** The machine name of uname ("x86_64"), or "" when it fails. */
	std::string getModel() const;

private:
	lang::Ptr<DeviceInfoImpl> m_this;
};
}

#endif
