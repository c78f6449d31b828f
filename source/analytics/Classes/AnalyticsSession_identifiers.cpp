#include "AnalyticsFiles.h"
#include "AnalyticsState.h"
#include <analytics/AnalyticsSession.h>
#include <analytics/AnalyticsDevice.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <cctype>
#include <cstdio>
#include <sys/stat.h>

namespace analytics
{
using detail::state;

namespace
{
std::string macText()
{
	char buffer[18];
	return analyticsGetMacAddress(buffer, AnalyticsDevice::macInterface().c_str());
}

Bytes textBytes(const std::string& text)
{
	return Bytes(text.begin(), text.end());
}
}

Bytes AnalyticsSession::hashData(const Bytes& data)
{
	Bytes digest(EVP_MAX_MD_SIZE);
	unsigned int size = 0;
	if (EVP_Digest(data.data(), data.size(), digest.data(), &size, EVP_sha1(), nullptr) != 1)
		lang::throwError(lang::Exception(lang::Format("SHA-1 digest failed")));
	digest.resize(size);
	return digest;
}

Bytes AnalyticsSession::getMACBasedUID()
{
	return hashData(textBytes("IPHONE" + macText() + devicePlatform()));
}

Bytes AnalyticsSession::getMACUID()
{
	return hashData(textBytes(macText()));
}

std::string AnalyticsSession::hashDataToHexString(const uint8_t* bytes, size_t length)
{
	static const char digits[] = "0123456789abcdef";
	std::string out;
	out.reserve(length * 2);
	for (size_t i = 0; i < length; ++i)
	{
		out += digits[bytes[i] >> 4];
		out += digits[bytes[i] & 15];
	}
	return out;
}

std::string AnalyticsSession::generateCFUUID()
{
	uint8_t b[16];
	if (RAND_bytes(b, sizeof(b)) != 1)
		lang::throwError(lang::Exception(lang::Format("No random bytes for a device identifier")));
	b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
	b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
	char text[37];
	std::snprintf(text, sizeof(text), "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
		b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
	return text;
}

std::string AnalyticsSession::generateCFUUIDBasedUID()
{
	return "ID" + generateCFUUID();
}

uint32_t AnalyticsSession::generateCFUUIDBasedUIDChecksum(const std::string& text)
{
	static const uint64_t D = 0xB2733599u;
	if (text.size() < 4)
		return 0;
	// (N >> 1) mod D, bit by bit, then the last step of the division window.
	const size_t bits = text.size() * 8;
	uint64_t r = 0;
	for (size_t i = 0; i + 1 < bits; ++i)
	{
		const unsigned bit = (static_cast<unsigned char>(text[i / 8]) >> (7 - i % 8)) & 1;
		r = (r << 1) | bit;
		if (r >= D)
			r -= D;
	}
	const unsigned last = static_cast<unsigned char>(text.back()) & 1;
	return static_cast<uint32_t>(2 * r + last - D);
}

std::string AnalyticsSession::getCFUUIDBasedUIDWithChecksum(const std::string& identifier)
{
	char check[9];
	std::snprintf(check, sizeof(check), "%08X", generateCFUUIDBasedUIDChecksum(identifier));
	return identifier + check;
}

std::string AnalyticsSession::pasteboardName()
{
	return "org.enginekit.analytics.shared";
}

std::string AnalyticsSession::pasteboardTypeName()
{
	return "org.enginekit.analytics.device-id";
}

std::string AnalyticsSession::pasteboardFilePath()
{
	return AnalyticsDevice::sharedDataDirectory() + "/" + pasteboardName() + "/" + pasteboardTypeName();
}

std::string AnalyticsSession::getCFUUIDBasedUIDAndStatus(int* status)
{
	std::lock_guard<std::mutex> lock(state().pasteboardLock);
	const std::string path = pasteboardFilePath();
	const std::string folder = path.substr(0, path.rfind('/'));
	if (AnalyticsFiles::makeDirectories(folder))
		chmod(folder.c_str(), 0700);

	int result = 1;
	if (AnalyticsFiles::exists(path))
	{
		const std::optional<std::string> value = AnalyticsFiles::readFile(path);
		result = 4;
		if (value && AnalyticsProtocolData::isValidUTF8(*value) && AnalyticsProtocolData::utf16Length(*value) == 46)
		{
			result = 3;
			const std::string check = value->substr(value->size() - 8);
			bool hex = true;
			for (char c : check)
				hex = hex && std::isxdigit(static_cast<unsigned char>(c));
			const std::string identifier = value->substr(0, value->size() - 8);
			if (hex && std::stoul(check, nullptr, 16) == generateCFUUIDBasedUIDChecksum(identifier))
			{
				if (status)
					*status = 2;
				return identifier;
			}
		}
	}
	const std::string identifier = generateCFUUIDBasedUID();
	AnalyticsFiles::writeFile(path, getCFUUIDBasedUIDWithChecksum(identifier));
	if (status)
		*status = result;
	return identifier;
}

std::string AnalyticsSession::analyticsIDsList()
{
	const Bytes based = getMACBasedUID();
	const Bytes mac = getMACUID();
	return "2:" + hashDataToHexString(based.data(), based.size()) + ",4:" + hashDataToHexString(mac.data(), mac.size()) +
		",3:" + getCFUUIDBasedUIDAndStatus(nullptr);
}
}
