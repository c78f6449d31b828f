#ifndef PF_LOCALE_H
#define PF_LOCALE_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>
#include <vector>

namespace pf
{
class LocaleImpl;

/** The user's preferred languages as the content's locale names ("en_EN", "pt_BR"). */
class Locale : public lang::Object
{
public:
	Locale();
	~Locale() override;

	/**
	 * From LANGUAGE (a ':'-list), else the first of LC_ALL, LC_MESSAGES and
	 * LANG; codesets dropped, C and POSIX skipped; ["en_EN"] when none is left.
	 */
	std::vector<std::string> getPreferedLanguages();

	/** One language code in the content's form: "en" -> "en_EN", "pt-BR" -> "pt_BR", "zh-Hans" -> "zh_CN". */
	static std::string convert(const std::string& code);

private:
	lang::Ptr<LocaleImpl> m_this;
};
}

#endif
