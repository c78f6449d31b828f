#include <pf/Commerce.h>
#include <pf/Alert.h>
#include <pf/CommerceListener.h>
#include <pf/Folders.h>
#include <pf/StateFile.h>
#include <io/detail/paths.h>
#include <lang/Debug.h>
#include <cjson/cJSON.h>
#include <ctime>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace pf
{
namespace
{
struct Product
{
	std::string id;
	std::string title;
	std::string description;
	std::string price;
	bool consumable = false;
	/** -1 buys; 2 is a cancel; other values fail with that error. */
	int outcome = -1;
};

// A purchase is money: the ledger says how far its delivery got, so a kill at any point
// neither loses it nor repeats one the game acknowledged.
enum class State
{
	// Accepted by buyItemId, not yet handed to the game.
	Pending,
	// The listener is (or was, when the run ended) hearing it.
	Delivering,
	// The game acknowledged it.
	Finished
};

struct Transaction
{
	std::string id;
	std::string product;
	unsigned quantity = 1;
	std::string date;
	bool consumable = false;
	State state = State::Pending;
	std::string receipt;
};

const char* stateName(State state)
{
	switch (state)
	{
	case State::Pending: return "pending";
	case State::Delivering: return "delivering";
	case State::Finished: return "finished";
	}
	return "pending";
}

enum class Answer
{
	Products,
	Refuse,
	Restore,
	Deliver
};

struct Request
{
	Answer kind;
	std::string value;
};

std::string text(const cJSON* item)
{
	return cJSON_IsString(item) ? std::string(item->valuestring) : std::string();
}

std::string isoDate()
{
	const std::time_t now = std::time(nullptr);
	std::tm utc;
	gmtime_r(&now, &utc);
	char buffer[32];
	std::strftime(buffer, sizeof(buffer), "%Y-%m-%dT%H:%M:%SZ", &utc);
	return buffer;
}

const char* errorDescription(int error)
{
	switch (error)
	{
	case 1: return "The store does not accept this client.";
	case 3: return "The purchase is not valid.";
	case 4: return "Payments are not allowed.";
	default: return "The store could not complete the purchase.";
	}
}

// "error:N" -> N; false for any other text but "purchase" and "cancel".
bool parseOutcome(const std::string& outcome, int& value)
{
	if (outcome.empty() || outcome == "purchase")
		value = -1;
	else if (outcome == "cancel")
		value = 2;
	else if (outcome.compare(0, 6, "error:") == 0 && outcome.size() > 6 && outcome.find_first_not_of("0123456789", 6) == std::string::npos && outcome.size() < 16)
		value = std::stoi(outcome.substr(6));
	else
		return false;
	return true;
}
}

class CommerceImpl : public lang::Object
{
public:
	std::vector<std::string> m_ids;
	CommerceListener* m_listener = nullptr;
	std::vector<lang::Ptr<CommerceItem>> m_items;

	bool m_paymentsAllowed = true;
	std::vector<Product> m_catalogue;
	std::deque<Request> m_requests;
	std::vector<Transaction> m_ledger;
	long long m_nextTransaction = 1;
	// Purchases an earlier run did not see through; they wait for the product list so
	// that they arrive with the item's quantity and receipt set.
	std::vector<std::string> m_earlier;
	bool m_listKnown = false;
	// The transaction whose listener call is running, for finishTransaction().
	std::string m_delivering;

	CommerceImpl(unsigned count, const char** productIds)
	{
		for (unsigned i = 0; i < count; ++i)
			m_ids.push_back(productIds[i] ? productIds[i] : "");
		loadCatalogue();
		loadLedger();
		for (const Transaction& t : m_ledger)
		{
			if (t.state != State::Finished)
				m_earlier.push_back(t.id);
		}
	}

	void loadCatalogue()
	{
		const std::string path = io::detail::bundlePath() + "/store-catalogue.json";
		std::ifstream in(path, std::ios::binary);
		if (!in)
		{
			lang::Debug::printf("No store catalogue at %s; the store is empty\n", path.c_str());
			return;
		}
		std::ostringstream bytes;
		bytes << in.rdbuf();
		const std::string source = bytes.str();
		std::unique_ptr<cJSON, void (*)(cJSON*)> root(cJSON_ParseWithLength(source.data(), source.size()), cJSON_Delete);
		std::string fault;
		std::vector<Product> products;
		const cJSON* list = root ? cJSON_GetObjectItemCaseSensitive(root.get(), "products") : nullptr;
		const cJSON* allowed = root ? cJSON_GetObjectItemCaseSensitive(root.get(), "paymentsAllowed") : nullptr;
		if (!cJSON_IsObject(root.get()))
			fault = "not a JSON object";
		else if (list && !cJSON_IsArray(list))
			fault = "\"products\" is not a list";
		else if (allowed && !cJSON_IsBool(allowed))
			fault = "\"paymentsAllowed\" is not true or false";
		const cJSON* item = nullptr;
		const cJSON* entries = fault.empty() ? list : nullptr;
		cJSON_ArrayForEach(item, entries)
		{
			Product p;
			p.id = text(cJSON_GetObjectItemCaseSensitive(item, "id"));
			p.title = text(cJSON_GetObjectItemCaseSensitive(item, "title"));
			p.description = text(cJSON_GetObjectItemCaseSensitive(item, "description"));
			p.price = text(cJSON_GetObjectItemCaseSensitive(item, "price"));
			p.consumable = cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(item, "consumable"));
			const std::string outcome = text(cJSON_GetObjectItemCaseSensitive(item, "outcome"));
			if (p.id.empty())
			{
				fault = "a product has no \"id\"";
				break;
			}
			if (!parseOutcome(outcome, p.outcome))
			{
				fault = "product " + p.id + " has the unknown outcome \"" + outcome + "\"";
				break;
			}
			products.push_back(p);
		}
		if (!fault.empty())
		{
			lang::Debug::printf("Store catalogue %s is not valid (%s); the store is empty\n", path.c_str(), fault.c_str());
			return;
		}
		m_paymentsAllowed = !cJSON_IsFalse(allowed);
		m_catalogue = products;
	}

	std::string ledgerPath() const { return Folders::statePath() + "/store-ledger.json"; }

	void loadLedger()
	{
		cJSON* root = StateFile(ledgerPath()).load(cJSON_Object);
		if (!root)
			return;
		const cJSON* next = cJSON_GetObjectItemCaseSensitive(root, "nextTransaction");
		if (cJSON_IsNumber(next) && next->valuedouble >= 1)
			m_nextTransaction = static_cast<long long>(next->valuedouble);
		const cJSON* item = nullptr;
		cJSON_ArrayForEach(item, cJSON_GetObjectItemCaseSensitive(root, "transactions"))
		{
			Transaction t;
			t.id = text(cJSON_GetObjectItemCaseSensitive(item, "id"));
			t.product = text(cJSON_GetObjectItemCaseSensitive(item, "product"));
			const cJSON* quantity = cJSON_GetObjectItemCaseSensitive(item, "quantity");
			t.quantity = cJSON_IsNumber(quantity) && quantity->valuedouble >= 1 ? static_cast<unsigned>(quantity->valuedouble) : 1;
			t.date = text(cJSON_GetObjectItemCaseSensitive(item, "date"));
			t.consumable = cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(item, "consumable"));
			const std::string state = text(cJSON_GetObjectItemCaseSensitive(item, "state"));
			t.state = state == "finished" ? State::Finished : state == "delivering" ? State::Delivering : State::Pending;
			t.receipt = text(cJSON_GetObjectItemCaseSensitive(item, "receipt"));
			// Finished consumables (kept by older versions) are not needed for anything: the next save drops them.
			if (!t.id.empty() && !t.product.empty() && !(t.consumable && t.state == State::Finished))
				m_ledger.push_back(t);
		}
		cJSON_Delete(root);
	}

	bool saveLedger()
	{
		Folders::state();
		cJSON* root = cJSON_CreateObject();
		cJSON_AddNumberToObject(root, "nextTransaction", static_cast<double>(m_nextTransaction));
		cJSON* list = cJSON_AddArrayToObject(root, "transactions");
		for (const Transaction& t : m_ledger)
		{
			cJSON* item = cJSON_CreateObject();
			cJSON_AddStringToObject(item, "id", t.id.c_str());
			cJSON_AddStringToObject(item, "product", t.product.c_str());
			cJSON_AddNumberToObject(item, "quantity", t.quantity);
			cJSON_AddStringToObject(item, "date", t.date.c_str());
			cJSON_AddBoolToObject(item, "consumable", t.consumable);
			cJSON_AddStringToObject(item, "state", stateName(t.state));
			cJSON_AddStringToObject(item, "receipt", t.receipt.c_str());
			cJSON_AddItemToArray(list, item);
		}
		const bool saved = StateFile(ledgerPath()).save(root);
		cJSON_Delete(root);
		return saved;
	}

	const Product* product(const std::string& id) const
	{
		for (const Product& p : m_catalogue)
		{
			if (p.id == id)
				return &p;
		}
		return nullptr;
	}

	Transaction* transaction(const std::string& id)
	{
		for (Transaction& t : m_ledger)
		{
			if (t.id == id)
				return &t;
		}
		return nullptr;
	}

	void setReceipt(const std::string& productId, const std::vector<char>& receipt)
	{
		for (const lang::Ptr<CommerceItem>& item : m_items)
		{
			if (item->productId() == productId)
			{
				item->setReceipt(receipt);
				return;
			}
		}
	}

	void notifySuccess(const std::string& productId, unsigned quantity, bool purchased, const std::vector<char>& receipt)
	{
		for (const lang::Ptr<CommerceItem>& item : m_items)
		{
			if (item->productId() == productId)
			{
				item->setQuantity(quantity);
				break;
			}
		}
		setReceipt(productId, receipt);
		if (m_listener)
			m_listener->paymentFinished(productId, purchased ? CommerceListener::PAYMENT_COMPLETED : CommerceListener::PAYMENT_RESTORED, Commerce::ERROR_NONE);
	}

	void fail(int error, bool alert)
	{
		const Commerce::CommerceError code = error >= 1 && error <= 4 ? static_cast<Commerce::CommerceError>(error) : Commerce::ERROR_UNKNOWN;
		if (alert && code != Commerce::ERROR_PAYMENT_CANCELLED)
			Alert::show(errorDescription(code), "", {"OK"});
		if (m_listener)
			m_listener->paymentFinished("", CommerceListener::PAYMENT_FAILED, code);
	}

	// Marked delivering before the listener runs; finished when the game acknowledges it
	// (finishTransaction() from inside the listener) or at the latest when the listener returns.
	// A listener that throws leaves it delivering: it is not repeated in this run, but the next
	// start delivers it again.
	void deliver(const std::string& transactionId)
	{
		Transaction* t = transaction(transactionId);
		if (!t || t->state == State::Finished)
			return;
		if (t->state == State::Delivering)
			lang::Debug::printf("Purchase %s of %s is delivered again: the game did not acknowledge it\n", t->id.c_str(), t->product.c_str());
		t->state = State::Delivering;
		saveLedger();
		const std::string product = t->product;
		const unsigned quantity = t->quantity;
		const std::vector<char> receipt(t->receipt.begin(), t->receipt.end());
		struct Clear
		{
			std::string& id;
			~Clear() { id.clear(); }
		} clear{m_delivering};
		m_delivering = transactionId;
		notifySuccess(product, quantity, true, receipt);
		finish(transactionId);
	}

	void finish(const std::string& transactionId)
	{
		for (auto it = m_ledger.begin(); it != m_ledger.end(); ++it)
		{
			if (it->id != transactionId || it->state == State::Finished)
				continue;
			// A consumed purchase is never restored: nothing of it needs keeping.
			if (it->consumable)
				m_ledger.erase(it);
			else
				it->state = State::Finished;
			saveLedger();
			return;
		}
	}

	bool finishTransaction(const std::string& productId)
	{
		const Transaction* t = m_delivering.empty() ? nullptr : transaction(m_delivering);
		if (!t || t->product != productId || t->state == State::Finished)
			return false;
		finish(m_delivering);
		return true;
	}

	// Written to the ledger before buyItemId reports it, so that an exit before the next poll
	// cannot lose it. False when the ledger could not be written.
	bool accept(const Product& p)
	{
		Transaction t;
		t.id = "T" + std::to_string(m_nextTransaction++);
		t.product = p.id;
		t.date = isoDate();
		t.consumable = p.consumable;
		cJSON* receipt = cJSON_CreateObject();
		cJSON_AddStringToObject(receipt, "product", t.product.c_str());
		cJSON_AddStringToObject(receipt, "transaction", t.id.c_str());
		cJSON_AddStringToObject(receipt, "date", t.date.c_str());
		cJSON_AddNumberToObject(receipt, "quantity", t.quantity);
		char* printed = cJSON_PrintUnformatted(receipt);
		t.receipt = printed ? printed : "";
		cJSON_free(printed);
		cJSON_Delete(receipt);
		m_ledger.push_back(t);
		if (!saveLedger())
		{
			m_ledger.pop_back();
			return false;
		}
		m_requests.push_back({Answer::Deliver, t.id});
		return true;
	}

	void refuse(const std::string& productId)
	{
		const Product* p = product(productId);
		fail(p ? p->outcome : Commerce::ERROR_PAYMENT_INVALID, true);
	}

	void listProducts()
	{
		m_items.clear();
		m_listKnown = true;
		// Purchases of an earlier run come right after the product answer, now that their items exist.
		for (auto it = m_earlier.rbegin(); it != m_earlier.rend(); ++it)
			m_requests.push_front({Answer::Deliver, *it});
		m_earlier.clear();
		bool invalid = false;
		for (const std::string& id : m_ids)
		{
			const Product* p = product(id);
			if (p)
				m_items.push_back(new CommerceItem(p->id, CommerceItem::TYPE_PRODUCT, p->title, p->description, p->price));
			else
				invalid = true;
		}
		if (!m_listener)
			return;
		if (invalid)
			m_listener->paymentFinished("", CommerceListener::PAYMENT_FAILED, Commerce::ERROR_NO_PRODUCT_AVAILABLE);
		else
			m_listener->paymentFinished("", CommerceListener::PAYMENT_COMPLETED, Commerce::ERROR_NONE);
	}

	void restore()
	{
		std::vector<Transaction> replay;
		for (const Transaction& t : m_ledger)
		{
			if (t.state == State::Finished && !t.consumable)
				replay.push_back(t);
		}
		for (const Transaction& t : replay)
			notifySuccess(t.product, t.quantity, false, std::vector<char>());
		if (m_listener)
			m_listener->paymentFinished("", CommerceListener::PAYMENT_COMPLETED, Commerce::ERROR_NONE);
	}

	void checkForCallback()
	{
		// Without a listener the answers wait: a purchase of an earlier run must not be lost before the game asks.
		while (!m_requests.empty() && m_listener)
		{
			const Request request = m_requests.front();
			m_requests.pop_front();
			switch (request.kind)
			{
			case Answer::Products: listProducts(); break;
			case Answer::Refuse: refuse(request.value); break;
			case Answer::Restore: restore(); break;
			case Answer::Deliver: deliver(request.value); break;
			}
		}
	}
};

Commerce::Commerce(unsigned count, const char** productIds, CommerceListener*) :
	m_this(new CommerceImpl(count, productIds))
{
}

Commerce::~Commerce() {}

bool Commerce::isEnabled()
{
	return m_this->m_paymentsAllowed;
}

void Commerce::checkForCallback()
{
	m_this->checkForCallback();
}

bool Commerce::listAvailableItems(CommerceListener* listener)
{
	m_this->m_listener = listener;
	m_this->m_requests.push_back({Answer::Products, ""});
	return true;
}

bool Commerce::buyItemId(const std::string& productId, CommerceListener* listener)
{
	m_this->m_listener = listener;
	if (productId.empty())
	{
		Alert::show("Payment Error", "No items available.", {"OK"});
		if (listener)
			listener->paymentFinished("", CommerceListener::PAYMENT_FAILED, ERROR_NO_PRODUCT_AVAILABLE);
		return false;
	}
	if (!isEnabled())
	{
		Alert::show("Payment Error", "In-App purchase is disabled from the device settings.", {"OK"});
		if (listener)
			listener->paymentFinished("", CommerceListener::PAYMENT_FAILED, ERROR_PAYMENT_NOT_ALLOWED);
		return false;
	}
	const Product* p = m_this->product(productId);
	if (!p || p->outcome >= 0)
	{
		// The store turns it down at the next poll, as it would after showing its sheet.
		m_this->m_requests.push_back({Answer::Refuse, productId});
		return true;
	}
	if (!m_this->accept(*p))
	{
		m_this->fail(ERROR_UNKNOWN, true);
		return false;
	}
	return true;
}

bool Commerce::finishTransaction(const std::string& productId)
{
	return m_this->finishTransaction(productId);
}

bool Commerce::restoreItems(CommerceListener* listener)
{
	m_this->m_listener = listener;
	m_this->m_requests.push_back({Answer::Restore, ""});
	return true;
}

const std::vector<lang::Ptr<CommerceItem>>& Commerce::getItems() const
{
	return m_this->m_items;
}
}
