#ifndef PF_USERDEFAULTS_H
#define PF_USERDEFAULTS_H

#include <string>

namespace pf
{
/**
 * The user defaults: one JSON object of booleans, numbers and strings in
 * Folders::config()/defaults.json, shared by the whole process. Every
 * operation takes the defaults' lock, so any thread may use them.
 */
class UserDefaults
{
public:
	/** Re-reads the file when it changed since it was last read or written. */
	static void synchronise();

	static bool has(const std::string& key);
	static bool isBoolean(const std::string& key);
	/** The value; a missing key or one of another type reads false, 0 or "". */
	static bool getBoolean(const std::string& key);
	static double getNumber(const std::string& key);
	static std::string getString(const std::string& key);

	/** Each write saves the file at once. Non-finite numbers are refused (false). */
	static bool setBoolean(const std::string& key, bool value);
	static bool setNumber(const std::string& key, double value);
	static bool setString(const std::string& key, const std::string& value);
	static bool remove(const std::string& key);

	/** The file's path. */
	static std::string path();
};
}

#endif
