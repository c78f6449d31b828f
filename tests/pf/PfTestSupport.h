#ifndef TESTS_PF_PFTESTSUPPORT_H
#define TESTS_PF_PFTESTSUPPORT_H

#include <support/TempDir.h>
#include <io/detail/paths.h>
#include <gtest/gtest.h>
#include <string>

using support::TempDir;
using support::fileExists;
using support::readFile;
using support::writeFile;

// Each test gets its own home: config, state, data and bundle folders under one temporary folder.
class PfTest : public ::testing::Test
{
protected:
	TempDir m_home;

	void SetUp() override
	{
		ASSERT_FALSE(m_home.path().empty());
		setenv("HOME", m_home.path().c_str(), 1);
		setenv("XDG_CONFIG_HOME", (m_home / "config").c_str(), 1);
		setenv("XDG_STATE_HOME", (m_home / "state").c_str(), 1);
		setenv("XDG_DATA_HOME", (m_home / "data").c_str(), 1);
		setenv("XDG_CONFIG_DIRS", (m_home / "etc").c_str(), 1);
		setenv("XDG_DATA_DIRS", (m_home / "share").c_str(), 1);
		mkdir((m_home / "bundle").c_str(), 0700);
		io::detail::setBundlePath(m_home / "bundle");
	}

	std::string statePath(const std::string& name) const { return m_home.path() + "/state/engine/" + name; }
	std::string configPath(const std::string& name) const { return m_home.path() + "/config/engine/" + name; }
	void makeFolder(const std::string& relative) const { std::system(("mkdir -p '" + m_home.path() + "/" + relative + "'").c_str()); }
};

#endif
