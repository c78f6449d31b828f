#ifndef PF_COMMERCE_H
#define PF_COMMERCE_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <pf/CommerceItem.h>
#include <string>
#include <vector>

namespace pf
{
class CommerceImpl;
class CommerceListener;

/**
 * The in-app store. Here it is simulated: the products come from the
 * bundle's "store-catalogue.json", and purchases are kept in the ledger
 * Folders::state()/store-ledger.json. Answers arrive through
 * checkForCallback(), never inside the call that asked.
 *
 * A purchase goes through the ledger as pending (accepted), delivering
 * (the listener is hearing it) and finished (the game acknowledged it), each
 * step written before the next begins. Purchases an earlier run did not see
 * finished arrive again once the game asked for the product list, so their
 * item carries its quantity and receipt. The game may thus hear a purchase
 * twice only when the run ended inside the listener, before it acknowledged
 * it. The ledger keeps what a restore needs: non-consumables and purchases
 * not yet finished. A delivery's steps go to the ledger's journal (see
 * StateJournal), and the ledger is written whole once no answer is left
 * waiting; a long backlog arrives over several polls. Entries that cannot
 * be read, or name a state or product the store does not know, are named
 * in the log, never delivered, and kept in a copy of the ledger.
 */
class Commerce : public lang::Object
{
public:
	enum CommerceError
	{
		ERROR_NONE = 0,
		ERROR_CLIENT_INVALID = 1,
		ERROR_PAYMENT_CANCELLED = 2,
		ERROR_PAYMENT_INVALID = 3,
		ERROR_PAYMENT_NOT_ALLOWED = 4,
		ERROR_NO_PRODUCT_AVAILABLE = 5,
		ERROR_UNKNOWN = 6
	};

	/** The game's product ids; the listener is not kept (each call names its own). */
	Commerce(unsigned count, const char** productIds, CommerceListener* listener);
	~Commerce() override;

	/** The catalogue's "paymentsAllowed". */
	bool isEnabled();
	/** Delivers the answers that are ready (a long backlog over several calls); touches no file when there are none. */
	void checkForCallback();
	/** Asks for the game's products; the answer fills getItems(). */
	bool listAvailableItems(CommerceListener* listener);
	/**
	 * Buys one product; an empty id, disabled payments or a ledger that cannot
	 * be written are refused at once (false). True means the purchase is in
	 * the ledger: it reaches the listener at a poll of this run or a later one.
	 * A non-consumable the ledger holds is not bought again (true): an
	 * unfinished purchase of it is the answer, an owned one is answered as a
	 * restore (status 3).
	 */
	bool buyItemId(const std::string& productId, CommerceListener* listener);
	/**
	 * Called by the listener, inside paymentFinished, once the game has kept what
	 * the purchase of `productId` gave: marks it finished in the ledger at once,
	 * so that a run ending after this point never delivers it again. Without
	 * it the purchase is finished when the listener returns. False when no
	 * purchase of that product is being delivered.
	 */
	bool finishTransaction(const std::string& productId);
	/** Replays the finished purchases of products that are not consumed. */
	bool restoreItems(CommerceListener* listener);
	const std::vector<lang::Ptr<CommerceItem>>& getItems() const;

private:
	lang::Ptr<CommerceImpl> m_this;
};
}

#endif
