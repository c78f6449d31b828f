#include "GameTestSupport.h"
#include <game/TextGroupSet.h>

using namespace gametest;

namespace
{
qf3d::TextSetRecord texts()
{
	qf3d::TextSetRecord t;
	t.locales = {"en_EN", "fr_FR"};
	t.ids = {"title", "play"};
	t.texts = {{"Title", "Play"}, {"Titre", "Jouer"}};
	return t;
}

const std::string NOT_LOADED = "Trying to get TextGroup for language which is not loaded. Language: \"fr_FR\"";
}

TEST(TextGroupSet, LoadsOneLocaleOrAllInEveryLayout)
{
	for (const NamedLayout& c : readableLayouts())
	{
		Bundle bundle;
		bundle.write("t.lang", qf3d::encodeTexts(texts(), c.layout));
		lang::Ptr<game::TextGroupSet> set = new game::TextGroupSet("t.lang");
		EXPECT_TRUE(set->getLocaleCodes().empty());
		set->loadLocaleCodes();
		EXPECT_EQ(set->getLocaleCodes(), (std::vector<std::string>{"en_EN", "fr_FR"})) << c.name;
		EXPECT_EQ(thrownMessage([&] { set->getTextGroup("fr_FR"); }), NOT_LOADED);
		game::TextGroup* fr = set->loadTextGroup("fr_FR");
		ASSERT_TRUE(fr) << c.name;
		EXPECT_EQ(fr->get("play"), "Jouer") << c.name;
		EXPECT_EQ(fr->get("quit"), "quit");
		EXPECT_EQ(fr->getTexts().count("quit"), 1u); // stored
		EXPECT_EQ(set->getTextGroup("fr_FR"), fr);

		game::TextGroup* first = set->loadTextGroup("ALL");
		EXPECT_EQ(first, set->getTextGroup("en_EN"));
		EXPECT_EQ(first->get("title"), "Title") << c.name;
		EXPECT_EQ(set->getTextGroup("fr_FR")->get("title"), "Titre") << c.name;
	}
}

TEST(TextGroupSet, LocaleErrors)
{
	Bundle bundle;
	bundle.write("t.lang", qf3d::encodeTexts(texts()));
	lang::Ptr<game::TextGroupSet> set = new game::TextGroupSet("t.lang");
	set->loadLocaleCodes();
	set->loadTextGroup("en_EN");
	EXPECT_EQ(thrownMessage([&] { set->getTextGroup("de_DE"); }),
		"Trying to get TextGroup for language not present in data file. Language: \"de_DE\"");
	EXPECT_EQ(thrownMessage([&] { set->loadTextGroup("de_DE"); }),
		"Trying to load TextGroup for language not present in data file. Language: \"de_DE\"");
	EXPECT_EQ(thrownMessage([&] { set->releaseTextGroup("de_DE"); }),
		"Trying to release TextGroup for language not present in data file. Language: \"de_DE\"");
	set->releaseTextGroup("fr_FR"); // in the file, not loaded: nothing to drop
	EXPECT_TRUE(set->getTextGroup("en_EN"));
	set->releaseTextGroup("en_EN");
	EXPECT_NE(thrownMessage([&] { set->getTextGroup("en_EN"); }).find("which is not loaded"), std::string::npos);
	set->loadTextGroup("ALL");
	set->releaseTextGroup("ALL");
	EXPECT_NE(thrownMessage([&] { set->getTextGroup("en_EN"); }).find("which is not loaded"), std::string::npos);
}

TEST(TextGroupSet, SubChunkOrderMatters)
{
	Bundle bundle;
	qf3d::ByteWriter locales, ids, group;
	locales.int16(2), locales.utf("en_EN"), locales.utf("fr_FR");
	ids.int16(1), ids.utf("title");
	group.utf("Title");
	// A TXGP before any LIDS.
	bundle.write("bad.lang", qf3d::container({qf3d::versioned(qf3d::Tag::TEXT, 1,
		qf3d::subChunks({{qf3d::Tag::LDAT, locales.bytes()}, {qf3d::Tag::TXGP, group.bytes()}, {qf3d::Tag::LIDS, ids.bytes()}}))}));
	lang::Ptr<game::TextGroupSet> set = new game::TextGroupSet("bad.lang");
	set->loadLocaleCodes();
	EXPECT_EQ(thrownMessage([&] { set->loadTextGroup("en_EN"); }), "Missing LIDS chunk before TXGP chunk in file bad.lang");

	// Only one group for two locales: the second loads nothing and leaves the loaded groups alone.
	bundle.write("short.lang", qf3d::container({qf3d::versioned(qf3d::Tag::TEXT, 1,
		qf3d::subChunks({{qf3d::Tag::LDAT, locales.bytes()}, {0x41424344, qf3d::Bytes(3, 1)}, {qf3d::Tag::LIDS, ids.bytes()}, {qf3d::Tag::TXGP, group.bytes()}}))}));
	set = new game::TextGroupSet("short.lang");
	set->loadLocaleCodes();
	ASSERT_TRUE(set->loadTextGroup("en_EN"));
	EXPECT_EQ(set->loadTextGroup("fr_FR"), nullptr);
	EXPECT_EQ(set->getTextGroup("en_EN")->get("title"), "Title");
	EXPECT_NE(thrownMessage([&] { set->getTextGroup("fr_FR"); }).find("which is not loaded"), std::string::npos);

	// A version this engine does not read is skipped: no locales.
	qf3d::Layout v2;
	v2.version = 2;
	bundle.write("v2.lang", qf3d::encodeTexts(texts(), v2));
	set = new game::TextGroupSet("v2.lang");
	set->loadLocaleCodes();
	EXPECT_TRUE(set->getLocaleCodes().empty());
}
