#include <analytics/Analytics.h>
#include "linux/AnalyticsImpl_Linux.h"

namespace analytics
{
Analytics::Analytics() :
	m_impl(new AnalyticsImpl())
{
}

Analytics::~Analytics()
{
	delete m_impl;
}

void Analytics::startSession(const std::string& apiKey)
{
	m_impl->startSession(apiKey);
}

void Analytics::endSession()
{
	m_impl->endSession();
}

void Analytics::logEvent(const std::string& name)
{
	logEvent(name, Parameters());
}

void Analytics::logEvent(const std::string& name, const std::string& key, const std::string& value)
{
	logEvent(name, Parameters{{key, value}});
}

void Analytics::logEvent(const std::string& name, const Parameters& parameters)
{
	m_impl->logEvent(name, parameters);
}

void Analytics::didBecomeActive()
{
	m_impl->didBecomeActive();
}

void Analytics::willResignActive()
{
	m_impl->willResignActive();
}

void Analytics::willTerminate()
{
	m_impl->willTerminate();
}

void Analytics::setScreenSize(int width, int height)
{
	m_impl->setScreenSize(width, height);
}
}
