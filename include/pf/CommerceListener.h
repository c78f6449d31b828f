#ifndef PF_COMMERCELISTENER_H
#define PF_COMMERCELISTENER_H

#include <pf/Commerce.h>
#include <string>

namespace pf
{
/** Hears the store's answers. */
class CommerceListener
{
public:
	enum PaymentStatus
	{
		/** A purchase, the end of a restore, or a product list received. */
		PAYMENT_COMPLETED = 1,
		PAYMENT_FAILED = 2,
		/** One product restored. */
		PAYMENT_RESTORED = 3
	};

	enum PaymentProviderStatus
	{
		PROVIDER_AVAILABLE = 1,
		PROVIDER_UNAVAILABLE = 2
	};

	virtual ~CommerceListener() {}

	virtual void paymentFinished(const std::string& productId, PaymentStatus status, Commerce::CommerceError error) = 0;
	virtual void initFinished(PaymentProviderStatus status) = 0;
	virtual void getPurchaseHistoryFinished(const std::string& history) = 0;
};
}

#endif
