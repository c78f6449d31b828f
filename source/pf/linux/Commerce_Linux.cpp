#include <pf/Commerce.h>
#include <pf/Alert.h>
#include <pf/CommerceListener.h>
#include <pf/Folders.h>
#include <pf/StateFile.h>
#include <io/detail/paths.h>
#include <lang/Debug.h>
#include <pf/StateJournal.h>
#include <pf/detail/DeliveryBatch.h>
#include <cjson/cJSON.h>
#include <climits>
#include <cmath>
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
	// The number of its id "T<number>".
	long long number = 0;
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
	Deliver,
	// A second purchase of a product that is owned already: the earlier one, as a restore gives it.
	Owned
};

// Ids are counted in a JSON number: past 2^53 a double no longer counts in ones.
constexpr long long kLastTransaction = 1LL << 53;

// The number of an id "T<number>" (no leading zero, 1 to kLastTransaction), or 0.
long long transactionNumber(const std::string& id)
{
	if (id.size() < 2 || id.size() > 17 || id[0] != 'T' || id[1] < '1' || id[1] > '9')
		return 0;
	long long n = 0;
	for (size_t i = 1; i < id.size(); ++i)
	{
		if (id[i] < '0' || id[i] > '9')
			return 0;
		n = n * 10 + (id[i] - '0');
	}
	return n <= kLastTransaction ? n : 0;
}

// A whole number from low to high, or false: nothing outside that range is cast.
bool wholeNumber(const cJSON* item, double low, double high, long long& value)
{
	if (!cJSON_IsNumber(item))
		return false;
	const double v = item->valuedouble;
	if (!(v >= low && v <= high) || v != std::floor(v))
		return false;
	value = static_cast<long long>(v);
	return true;
}

bool parseState(const std::string& name, State& state)
{
	for (State s : {State::Pending, State::Delivering, State::Finished})
	{
		if (name == stateName(s))
		{
			state = s;
			return true;
		}
	}
	return false;
}

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
	// By number, which is the order they were bought in.
	std::map<long long, Transaction> m_ledger;
	long long m_nextTransaction = 1;
	// Deliveries in the ledger's journal since the ledger was last written whole.
	size_t m_journaled = 0;
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
		for (const auto& entry : m_ledger)
		{
			if (entry.second.state != State::Finished)
				m_earlier.push_back(entry.second.id);
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

	// Why the entry cannot be used, or "" with `t` filled.
	std::string readTransaction(const cJSON* item, Transaction& t) const
	{
		if (!cJSON_IsObject(item))
			return "it is not an object";
		const cJSON* id = cJSON_GetObjectItemCaseSensitive(item, "id");
		const cJSON* product = cJSON_GetObjectItemCaseSensitive(item, "product");
		const cJSON* quantity = cJSON_GetObjectItemCaseSensitive(item, "quantity");
		const cJSON* date = cJSON_GetObjectItemCaseSensitive(item, "date");
		const cJSON* consumable = cJSON_GetObjectItemCaseSensitive(item, "consumable");
		const cJSON* state = cJSON_GetObjectItemCaseSensitive(item, "state");
		const cJSON* receipt = cJSON_GetObjectItemCaseSensitive(item, "receipt");
		t.id = text(id);
		t.number = transactionNumber(t.id);
		if (t.number == 0)
			return "its id is not T followed by a number from 1 to 2^53";
		t.product = text(product);
		if (t.product.empty())
			return "it has no product";
		// An empty catalogue cannot tell: the purchase then waits for its product.
		if (!m_catalogue.empty() && !this->product(t.product))
			return "its product " + t.product + " is not in the store catalogue";
		long long count = 1;
		if (quantity && !wholeNumber(quantity, 1, UINT_MAX, count))
			return "its quantity is not a whole number from 1 to " + std::to_string(UINT_MAX);
		t.quantity = static_cast<unsigned>(count);
		if ((date && !cJSON_IsString(date)) || (receipt && !cJSON_IsString(receipt)))
			return "its date or receipt is not a string";
		if (consumable && !cJSON_IsBool(consumable))
			return "its \"consumable\" is not true or false";
		if (!parseState(text(state), t.state))
			return cJSON_IsString(state) ? "it has the unknown state \"" + text(state) + "\"" : std::string("it has no state");
		t.date = text(date);
		t.consumable = cJSON_IsTrue(consumable);
		t.receipt = text(receipt);
		if (m_ledger.count(t.number))
			return "its id is used by an earlier entry";
		return std::string();
	}

	void loadLedger()
	{
		const StateFile file(ledgerPath());
		cJSON* root = file.load(cJSON_Object);
		std::vector<std::string> faults;
		long long next = 1;
		long long stored = 0;
		if (root)
		{
			const cJSON* nextItem = cJSON_GetObjectItemCaseSensitive(root, "nextTransaction");
			if (nextItem && !wholeNumber(nextItem, 1, static_cast<double>(kLastTransaction), next))
				faults.push_back("\"nextTransaction\" is not a whole number from 1 to 2^53; ids go on after the stored ones");
			else if (nextItem)
				stored = next;
			const cJSON* list = cJSON_GetObjectItemCaseSensitive(root, "transactions");
			if (list && !cJSON_IsArray(list))
				faults.push_back("\"transactions\" is not a list");
			const cJSON* item = nullptr;
			int index = 0;
			cJSON_ArrayForEach(item, (cJSON_IsArray(list) ? list : nullptr))
			{
				++index;
				Transaction t;
				const std::string fault = readTransaction(item, t);
				if (!fault.empty())
				{
					const std::string id = text(cJSON_GetObjectItemCaseSensitive(item, "id"));
					faults.push_back("transaction " + std::to_string(index) + (id.empty() ? "" : " (" + id + ")") + " is not delivered: " + fault);
					// Its id stays used, whatever became of it.
					const long long number = transactionNumber(id);
					next = std::max(next, number + 1);
					continue;
				}
				next = std::max(next, t.number + 1);
				// Finished consumables (kept by older versions) are not needed for anything: the next save drops them.
				if (!(t.consumable && t.state == State::Finished))
					m_ledger[t.number] = t;
			}
			cJSON_Delete(root);
		}
		// The copy keeps the damaged entries as they were written; the ledger goes on without them.
		const bool damaged = !faults.empty() && file.reportDamage(faults);
		// Deliveries since the ledger was last written whole.
		const bool journalSound = StateJournal(ledgerPath()).read([&](const cJSON& record) {
			const long long number = transactionNumber(text(cJSON_GetObjectItemCaseSensitive(&record, "id")));
			State state;
			if (number == 0 || !parseState(text(cJSON_GetObjectItemCaseSensitive(&record, "state")), state))
				return false;
			++m_journaled;
			next = std::max(next, number + 1);
			const auto it = m_ledger.find(number);
			// Only ever forward: a line applied a second time changes nothing.
			if (it == m_ledger.end() || state <= it->second.state)
				return true;
			if (state == State::Finished && it->second.consumable)
				m_ledger.erase(it);
			else
				it->second.state = state;
			return true;
		});
		if (stored != 0 && stored < next)
			lang::Debug::printf("%s: \"nextTransaction\" %lld is not above every id used; new ids start at T%lld\n", file.path().c_str(), stored, next);
		m_nextTransaction = next;
		// Written whole at once, so that the damage is not found again at the next start.
		if (damaged || !journalSound)
			saveLedger();
	}

	bool saveLedger()
	{
		Folders::state();
		cJSON* root = cJSON_CreateObject();
		cJSON_AddNumberToObject(root, "nextTransaction", static_cast<double>(m_nextTransaction));
		cJSON* list = cJSON_AddArrayToObject(root, "transactions");
		for (const auto& entry : m_ledger)
		{
			const Transaction& t = entry.second;
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
		// The journal goes only once the ledger holds what it said.
		if (saved && StateJournal(ledgerPath()).clear())
			m_journaled = 0;
		return saved;
	}

	// A delivery's step: a line in the journal, however long the ledger is; the whole ledger when that fails.
	void record(const Transaction& t)
	{
		cJSON* line = cJSON_CreateObject();
		cJSON_AddStringToObject(line, "id", t.id.c_str());
		cJSON_AddStringToObject(line, "state", stateName(t.state));
		const bool appended = StateJournal(ledgerPath()).append(line);
		cJSON_Delete(line);
		if (appended)
			++m_journaled;
		else
			saveLedger();
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
		const auto it = m_ledger.find(transactionNumber(id));
		return it == m_ledger.end() ? nullptr : &it->second;
	}

	// The latest purchase of the product that the ledger holds.
	const Transaction* held(const std::string& productId) const
	{
		for (auto it = m_ledger.rbegin(); it != m_ledger.rend(); ++it)
		{
			if (it->second.product == productId)
				return &it->second;
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
		if (!product(t->product))
		{
			lang::Debug::printf("Purchase %s of %s waits: its product is not in the store catalogue\n", t->id.c_str(), t->product.c_str());
			return;
		}
		if (t->state == State::Delivering)
			lang::Debug::printf("Purchase %s of %s is delivered again: the game did not acknowledge it\n", t->id.c_str(), t->product.c_str());
		t->state = State::Delivering;
		record(*t);
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
		const auto it = m_ledger.find(transactionNumber(transactionId));
		if (it == m_ledger.end() || it->second.state == State::Finished)
			return;
		it->second.state = State::Finished;
		record(it->second);
		// A consumed purchase is never restored: nothing of it needs keeping.
		if (it->second.consumable)
			m_ledger.erase(it);
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
		if (m_nextTransaction > kLastTransaction)
		{
			lang::Debug::printf("%s: every transaction id is used\n", ledgerPath().c_str());
			return false;
		}
		Transaction t;
		t.number = m_nextTransaction++;
		t.id = "T" + std::to_string(t.number);
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
		m_ledger[t.number] = t;
		if (!saveLedger())
		{
			m_ledger.erase(t.number);
			--m_nextTransaction;
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
		for (const auto& entry : m_ledger)
		{
			if (entry.second.state == State::Finished && !entry.second.consumable)
				replay.push_back(entry.second);
		}
		for (const Transaction& t : replay)
			notifySuccess(t.product, t.quantity, false, std::vector<char>());
		if (m_listener)
			m_listener->paymentFinished("", CommerceListener::PAYMENT_COMPLETED, Commerce::ERROR_NONE);
	}

	// The answer to a second purchase of a non-consumable: no second transaction.
	void answerHeld(const Transaction& t)
	{
		if (t.state == State::Finished)
		{
			lang::Debug::printf("%s is owned already (%s): answered as a restore\n", t.product.c_str(), t.id.c_str());
			m_requests.push_back({Answer::Owned, t.id});
		}
		else
			lang::Debug::printf("%s is being bought already (%s): that purchase is the answer\n", t.product.c_str(), t.id.c_str());
	}

	void owned(const std::string& transactionId)
	{
		if (const Transaction* t = transaction(transactionId))
			notifySuccess(t->product, t->quantity, false, std::vector<char>());
	}

	void checkForCallback()
	{
		// Without a listener the answers wait: a purchase of an earlier run must not be lost before the game asks.
		detail::DeliveryBatch batch;
		while (!m_requests.empty() && m_listener && batch.more())
		{
			const Request request = m_requests.front();
			m_requests.pop_front();
			batch.counted();
			switch (request.kind)
			{
			case Answer::Products: listProducts(); break;
			case Answer::Refuse: refuse(request.value); break;
			case Answer::Restore: restore(); break;
			case Answer::Deliver: deliver(request.value); break;
			case Answer::Owned: owned(request.value); break;
			}
		}
		// Written whole once the backlog is through: while it lasts its progress is in the journal.
		if (m_journaled > 0 && m_requests.empty())
			saveLedger();
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
	// A non-consumable is bought once: owned, or on its way, the earlier purchase is the answer.
	const Transaction* held = p->consumable ? nullptr : m_this->held(p->id);
	if (held)
	{
		m_this->answerHeld(*held);
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
