#include "AnalyticsTestSupport.h"
#include "AnalyticsFiles.h"
#include <analytics/AnalyticsDevice.h>
#include <analytics/AnalyticsSession.h>
#include <openssl/evp.h>
#include <sys/stat.h>

using analytics::AnalyticsDevice;
using analytics::AnalyticsFiles;
using analytics::AnalyticsSession;
using analytics::Bytes;
using namespace analytics_test;

namespace
{
typedef AnalyticsTest IdentifierTest;

Bytes sha1(const std::string& text)
{
	Bytes d(20);
	unsigned int n = 0;
	EVP_Digest(text.data(), text.size(), d.data(), &n, EVP_sha1(), nullptr);
	return d;
}

std::vector<AnalyticsDevice::Interface> noInterfaces()
{
	return {{"lo", 772, {0, 0, 0, 0, 0, 0}, true, false}, {"eth0", 1, {0, 0, 0, 0, 0, 0}, false, true}};
}

std::vector<AnalyticsDevice::Interface> virtualOnly()
{
	return {{"wlan9", 1, {0x02, 0, 0, 0, 0, 9}, false, false}, {"br0", 1, {0x02, 0, 0, 0, 0, 1}, false, false}};
}
}

TEST_F(IdentifierTest, CheckValue)
{
	EXPECT_EQ(0xAEEF2DCBu, AnalyticsSession::generateCFUUIDBasedUIDChecksum("abcd"));
	EXPECT_EQ(0u, AnalyticsSession::generateCFUUIDBasedUIDChecksum("abc"));
	EXPECT_EQ(0u, AnalyticsSession::generateCFUUIDBasedUIDChecksum(""));
	// The closed form against 128-bit arithmetic for a longer text.
	const std::string text = "ID12345678";
	unsigned __int128 n = 0;
	for (unsigned char c : text)
		n = (n << 8) | c;
	const uint64_t D = 0xB2733599u;
	const uint32_t expected = static_cast<uint32_t>(2 * static_cast<uint64_t>((n >> 1) % D) + static_cast<uint64_t>(n & 1) - D);
	EXPECT_EQ(expected, AnalyticsSession::generateCFUUIDBasedUIDChecksum(text));
}

TEST_F(IdentifierTest, GeneratedIdentifierForms)
{
	const std::string uuid = AnalyticsSession::generateCFUUID();
	ASSERT_EQ(36u, uuid.size());
	for (size_t i = 0; i < uuid.size(); ++i)
	{
		if (i == 8 || i == 13 || i == 18 || i == 23)
			EXPECT_EQ('-', uuid[i]);
		else
			EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(uuid[i])) && !std::islower(static_cast<unsigned char>(uuid[i]))) << uuid;
	}
	EXPECT_EQ('4', uuid[14]);
	EXPECT_NE(uuid, AnalyticsSession::generateCFUUID());
	const std::string id = AnalyticsSession::generateCFUUIDBasedUID();
	EXPECT_EQ(38u, id.size());
	EXPECT_EQ("ID", id.substr(0, 2));

	// Find an identifier whose check value is below 0x10000000: still eight digits.
	std::string low;
	for (int i = 0; i < 100000 && low.empty(); ++i)
	{
		const std::string candidate = "ID" + std::to_string(i);
		if (AnalyticsSession::generateCFUUIDBasedUIDChecksum(candidate) < 0x10000000u)
			low = candidate;
	}
	ASSERT_FALSE(low.empty());
	const std::string stored = AnalyticsSession::getCFUUIDBasedUIDWithChecksum(low);
	EXPECT_EQ(low.size() + 8, stored.size());
	EXPECT_EQ('0', stored[low.size()]);
}

TEST_F(IdentifierTest, StoredIdentifierStatus)
{
	int status = 0;
	const std::string first = AnalyticsSession::getCFUUIDBasedUIDAndStatus(&status);
	EXPECT_EQ(1, status);
	EXPECT_EQ(first, AnalyticsSession::getCFUUIDBasedUIDAndStatus(&status));
	EXPECT_EQ(2, status);

	const std::string path = AnalyticsSession::pasteboardFilePath();
	EXPECT_EQ(m_root + "/data/" + AnalyticsSession::pasteboardName() + "/" + AnalyticsSession::pasteboardTypeName(), path);
	struct stat st;
	ASSERT_EQ(0, stat(path.c_str(), &st));
	EXPECT_EQ(0600u, st.st_mode & 0777);
	ASSERT_EQ(0, stat(path.substr(0, path.rfind('/')).c_str(), &st));
	EXPECT_EQ(0700u, st.st_mode & 0777);

	const std::string stored = AnalyticsFiles::readFile(path).value();
	ASSERT_EQ(46u, stored.size());
	struct Case
	{
		const char* what;
		std::string value;
		int status;
	};
	std::string changedCheck = stored;
	changedCheck[45] = changedCheck[45] == '0' ? '1' : '0';
	const Case cases[] = {
		{"check changed", changedCheck, 3},
		{"check not hexadecimal", stored.substr(0, 38) + "XYZXYZXY", 3},
		{"45 characters", stored.substr(0, 45), 4},
		{"47 characters", stored + "0", 4},
		{"not UTF-8", std::string(46, '\xFF'), 4},
		{"empty", "", 4},
	};
	for (const Case& c : cases)
	{
		ASSERT_TRUE(AnalyticsFiles::writeFile(path, c.value));
		const std::string id = AnalyticsSession::getCFUUIDBasedUIDAndStatus(&status);
		EXPECT_EQ(c.status, status) << c.what;
		EXPECT_NE(first, id) << c.what;
		EXPECT_EQ(AnalyticsSession::getCFUUIDBasedUIDWithChecksum(id), AnalyticsFiles::readFile(path).value()) << c.what;
	}
	chmod(path.c_str(), 0);
	if (access(path.c_str(), R_OK) != 0) // root reads anyway
	{
		AnalyticsSession::getCFUUIDBasedUIDAndStatus(&status);
		EXPECT_EQ(4, status);
	}
}

TEST_F(IdentifierTest, MacTextAndDigests)
{
	char buffer[18];
	EXPECT_STREQ("00:1A:2B:3C:4D:5E", analytics::analyticsGetMacAddress(buffer, "eth1"));
	EXPECT_STREQ("", analytics::analyticsGetMacAddress(buffer, "lo"));
	EXPECT_STREQ("", analytics::analyticsGetMacAddress(buffer, "en0"));
	// The physical adapter comes before the virtual one that sorts first by name.
	EXPECT_EQ("eth1", AnalyticsDevice::macInterface());
	EXPECT_EQ(sha1("00:1A:2B:3C:4D:5E"), AnalyticsSession::getMACUID());
	EXPECT_EQ(sha1("IPHONE00:1A:2B:3C:4D:5E" + AnalyticsSession::devicePlatform()), AnalyticsSession::getMACBasedUID());

	AnalyticsDevice::setMacInterface("veth0");
	EXPECT_EQ(sha1("02:42:AC:11:00:02"), AnalyticsSession::getMACUID());
	AnalyticsDevice::setMacInterface("");

	AnalyticsDevice::setInterfaceLister(&virtualOnly);
	EXPECT_EQ("br0", AnalyticsDevice::macInterface());
	AnalyticsDevice::setInterfaceLister(&noInterfaces);
	EXPECT_EQ("", AnalyticsDevice::macInterface());
	EXPECT_EQ(sha1(""), AnalyticsSession::getMACUID());

	const uint8_t two[] = {0x0A, 0xFF};
	EXPECT_EQ("0aff", AnalyticsSession::hashDataToHexString(two, 2));
	const std::string list = AnalyticsSession::analyticsIDsList();
	EXPECT_EQ(0u, list.find("2:"));
	EXPECT_NE(std::string::npos, list.find(",4:" + AnalyticsSession::hashDataToHexString(sha1("").data(), 20) + ",3:ID"));
}

TEST_F(IdentifierTest, SystemInterfacesAreReadable)
{
	AnalyticsDevice::setInterfaceLister(nullptr);
	for (const AnalyticsDevice::Interface& i : AnalyticsDevice::interfaces())
		EXPECT_FALSE(i.name.empty());
	char buffer[18];
	const std::string text = analytics::analyticsGetMacAddress(buffer, AnalyticsDevice::macInterface().c_str());
	EXPECT_TRUE(text.empty() || text.size() == 17) << text;
}
