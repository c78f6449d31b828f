#ifndef PF_DEVICEID_H
#define PF_DEVICEID_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>
#include <vector>

namespace pf
{
/** A hashed identity of the device. */
class DeviceID : public lang::Object
{
public:
	class Impl;

	DeviceID();
	~DeviceID() override;

	/** SHA-1 of the device id text, 40 upper-case hexadecimal characters. */
	std::string getDeviceIDHash();

private:
	lang::Ptr<Impl> m_this;
};

class DeviceID::Impl : public lang::Object
{
public:
	/**
	 * The MAC text ("00:1A:2B:...") of the interface the analytics client
	 * names the device by, or "unavailable"; no terminator.
	 */
	std::vector<char> getDeviceID() const;
};
}

#endif
