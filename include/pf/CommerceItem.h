#ifndef PF_COMMERCEITEM_H
#define PF_COMMERCEITEM_H

#include <lang/Object.h>
#include <string>
#include <vector>

namespace pf
{
/** One product of the store, as the last product answer gave it. */
class CommerceItem : public lang::Object
{
public:
	enum ItemType
	{
		TYPE_UNKNOWN = 0,
		TYPE_PRODUCT = 1
	};

	CommerceItem(const std::string& productId, ItemType type, const std::string& title, const std::string& description, const std::string& price) :
		m_productId(productId), m_type(type), m_quantity(0), m_title(title), m_description(description), m_price(price)
	{
	}

	const std::string& productId() const { return m_productId; }
	ItemType type() const { return m_type; }
	unsigned quantity() const { return m_quantity; }
	const std::string& title() const { return m_title; }
	const std::string& description() const { return m_description; }
	const std::string& price() const { return m_price; }
	const std::vector<char>& receipt() const { return m_receipt; }

	void setQuantity(unsigned quantity) { m_quantity = quantity; }
	void setDescription(const std::string& description) { m_description = description; }
	void setReceipt(const std::vector<char>& receipt) { m_receipt = receipt; }

private:
	std::string m_productId;
	ItemType m_type;
	unsigned m_quantity;
	std::string m_title;
	std::string m_description;
	std::string m_price;
	std::vector<char> m_receipt;
};
}

#endif
