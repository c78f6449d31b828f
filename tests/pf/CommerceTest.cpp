#include "PfTestSupport.h"
#include <pf/Alert.h>
#include <pf/CommerceListener.h>
#include <lang/Exception.h>
#include <memory>
#include <tuple>

using namespace pf;

namespace
{
typedef std::tuple<std::string, int, int> Result;

struct Recorder : CommerceListener
{
	std::vector<Result> results;
	bool throwOnPurchase = false;

	void paymentFinished(const std::string& id, PaymentStatus status, Commerce::CommerceError error) override
	{
		results.emplace_back(id, status, error);
		if (throwOnPurchase && status == PAYMENT_COMPLETED && !id.empty())
			throw lang::Exception(lang::Format("script failed"));
	}
	void initFinished(PaymentProviderStatus) override {}
	void getPurchaseHistoryFinished(const std::string&) override {}
};

const char* kIds[] = {"pack", "coins", "gone"};

const char* kCatalogue = R"({
  "paymentsAllowed": true,
  "products": [
    {"id": "coins", "title": "Coins", "description": "A bag", "price": "0,99 €", "consumable": true},
    {"id": "pack", "title": "Pack", "description": "Levels", "price": "1,99 €"},
    {"id": "cancelled", "outcome": "cancel"},
    {"id": "unknown", "outcome": "error:0"},
    {"id": "refused", "outcome": "error:4"}
  ]
})";
}

class CommerceTest : public PfTest
{
protected:
	std::vector<std::string> m_alerts;
	Recorder m_listener;

	void SetUp() override
	{
		PfTest::SetUp();
		writeFile(m_home / "bundle/store-catalogue.json", kCatalogue);
		Alert::setPresenter([this](const std::string& title, const std::string& message, const std::vector<std::string>&) {
			m_alerts.push_back(title + "|" + message);
			return 0;
		});
	}
	void TearDown() override { Alert::setPresenter(nullptr); }

	std::unique_ptr<Commerce> open(unsigned count = 3) { return std::make_unique<Commerce>(count, kIds, &m_listener); }
};

TEST_F(CommerceTest, ProductAnswerKeepsTheGamesOrderAndCountsMissingIds)
{
	auto store = open();
	EXPECT_TRUE(store->isEnabled());
	EXPECT_TRUE(store->listAvailableItems(&m_listener));
	EXPECT_TRUE(m_listener.results.empty()) << "answers wait for the poll";
	store->checkForCallback();
	ASSERT_EQ(store->getItems().size(), 2u);
	EXPECT_EQ(store->getItems()[0]->productId(), "pack");
	EXPECT_EQ(store->getItems()[1]->price(), "0,99 €");
	EXPECT_EQ(store->getItems()[1]->type(), CommerceItem::TYPE_PRODUCT);
	EXPECT_EQ(m_listener.results, std::vector<Result>{Result("", 2, 5)});

	m_listener.results.clear();
	auto exact = open(2);
	exact->listAvailableItems(&m_listener);
	exact->checkForCallback();
	EXPECT_EQ(m_listener.results, std::vector<Result>{Result("", 1, 0)});
}

TEST_F(CommerceTest, ImmediateRefusalsAndFailedPurchases)
{
	auto store = open();
	EXPECT_FALSE(store->buyItemId("", &m_listener));
	EXPECT_EQ(m_listener.results, std::vector<Result>{Result("", 2, 5)});
	EXPECT_EQ(m_alerts, std::vector<std::string>{"Payment Error|No items available."});

	m_listener.results.clear();
	m_alerts.clear();
	for (const char* id : {"cancelled", "unknown", "refused", "not-listed"})
		EXPECT_TRUE(store->buyItemId(id, &m_listener));
	store->checkForCallback();
	EXPECT_EQ(m_listener.results, (std::vector<Result>{Result("", 2, 2), Result("", 2, 6), Result("", 2, 4), Result("", 2, 3)}));
	// Every failure but the user's cancel is preceded by an alert without a message.
	ASSERT_EQ(m_alerts.size(), 3u);
	for (const std::string& alert : m_alerts)
		EXPECT_EQ(alert.back(), '|');
	EXPECT_FALSE(fileExists(statePath("store-ledger.json")));

	writeFile(m_home / "bundle/store-catalogue.json", R"({"paymentsAllowed": false, "products": []})");
	m_listener.results.clear();
	m_alerts.clear();
	auto disabled = open();
	EXPECT_FALSE(disabled->isEnabled());
	EXPECT_FALSE(disabled->buyItemId("pack", &m_listener));
	EXPECT_EQ(m_listener.results, std::vector<Result>{Result("", 2, 4)});
	EXPECT_EQ(m_alerts, std::vector<std::string>{"Payment Error|In-App purchase is disabled from the device settings."});
}

TEST_F(CommerceTest, PurchasesAreLedgeredAndRestoredAcrossRuns)
{
	{
		auto store = open();
		store->listAvailableItems(&m_listener);
		store->buyItemId("pack", &m_listener);
		store->buyItemId("coins", &m_listener);
		store->checkForCallback();
		EXPECT_EQ(m_listener.results, (std::vector<Result>{Result("", 2, 5), Result("pack", 1, 0), Result("coins", 1, 0)}));
		EXPECT_EQ(store->getItems()[0]->quantity(), 1u);
		const std::vector<char>& receipt = store->getItems()[0]->receipt();
		const std::string text(receipt.begin(), receipt.end());
		EXPECT_NE(text.find("\"product\":\"pack\""), std::string::npos);
		EXPECT_NE(text.find("\"transaction\":\"T1\""), std::string::npos);
		EXPECT_NE(text.find("\"quantity\":1"), std::string::npos);
		EXPECT_NE(text.find("\"date\":\"20"), std::string::npos);
	}
	const std::string ledger = readFile(statePath("store-ledger.json"));
	EXPECT_EQ(ledger.find("pending"), std::string::npos);

	// Next run: the consumable is not restored; a second pack purchase replays too.
	m_listener.results.clear();
	auto store = open();
	store->buyItemId("pack", &m_listener);
	store->restoreItems(&m_listener);
	store->checkForCallback();
	EXPECT_EQ(m_listener.results, (std::vector<Result>{Result("pack", 1, 0), Result("pack", 3, 0), Result("pack", 3, 0), Result("", 1, 0)}));
	EXPECT_NE(readFile(statePath("store-ledger.json")).find("\"T3\""), std::string::npos);
}

TEST_F(CommerceTest, APurchaseCutShortArrivesAtTheNextStartOnceAListenerAsks)
{
	{
		auto store = open();
		m_listener.throwOnPurchase = true;
		store->buyItemId("pack", &m_listener);
		store->buyItemId("coins", &m_listener);
		EXPECT_THROW(store->checkForCallback(), lang::Exception);
		EXPECT_NE(readFile(statePath("store-ledger.json")).find("pending"), std::string::npos);
		// The rest waits for the next poll; the failed one is not delivered twice in this run.
		m_listener.throwOnPurchase = false;
		store->checkForCallback();
		EXPECT_EQ(m_listener.results, (std::vector<Result>{Result("pack", 1, 0), Result("coins", 1, 0)}));
	}
	m_listener.results.clear();
	auto store = open();
	store->checkForCallback();
	EXPECT_TRUE(m_listener.results.empty()) << "no listener stored yet: the purchase waits";
	store->restoreItems(&m_listener);
	store->checkForCallback();
	EXPECT_EQ(m_listener.results, (std::vector<Result>{Result("pack", 1, 0), Result("pack", 3, 0), Result("", 1, 0)}));
	EXPECT_EQ(readFile(statePath("store-ledger.json")).find("pending"), std::string::npos);

	// And once delivered, the next start has nothing left to deliver.
	m_listener.results.clear();
	auto third = open();
	third->listAvailableItems(&m_listener);
	third->checkForCallback();
	EXPECT_EQ(m_listener.results, std::vector<Result>{Result("", 2, 5)});
}

TEST_F(CommerceTest, BadCatalogueOrLedgerGivesAnEmptyStore)
{
	const char* catalogues[] = {"{not json", "[]", R"({"products": {}})", R"({"products": [{"title": "no id"}]})",
		R"({"products": [{"id": "x", "outcome": "maybe"}]})", R"({"paymentsAllowed": "yes"})"};
	for (const char* catalogue : catalogues)
	{
		SCOPED_TRACE(catalogue);
		writeFile(m_home / "bundle/store-catalogue.json", catalogue);
		m_listener.results.clear();
		testing::internal::CaptureStdout();
		auto store = open();
		EXPECT_NE(testing::internal::GetCapturedStdout().find("store-catalogue.json is not valid"), std::string::npos);
		store->listAvailableItems(&m_listener);
		store->checkForCallback();
		EXPECT_TRUE(store->getItems().empty());
		EXPECT_EQ(m_listener.results, std::vector<Result>{Result("", 2, 5)});
	}

	writeFile(m_home / "bundle/store-catalogue.json", kCatalogue);
	makeFolder("state/engine");
	writeFile(statePath("store-ledger.json"), "{\"transactions\": [");
	testing::internal::CaptureStdout();
	auto store = open();
	testing::internal::GetCapturedStdout();
	EXPECT_TRUE(fileExists(statePath("store-ledger.json.bad")));
	m_listener.results.clear();
	store->buyItemId("pack", &m_listener);
	store->checkForCallback();
	EXPECT_EQ(m_listener.results, std::vector<Result>{Result("pack", 1, 0)});
	EXPECT_EQ(readFile(statePath("store-ledger.json.bad")), "{\"transactions\": [");
}
