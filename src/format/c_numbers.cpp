#include "format/c_numbers.h"

#include <clocale>

namespace format {

void useCNumbers()
{
    std::setlocale(LC_NUMERIC, "C");
}

CNumbersScope::CNumbersScope()
{
    // The thread's present locale with only its numbers replaced: texts keep their encoding.
    const locale_t current = uselocale(nullptr);
    const locale_t copy = duplocale(current);
    if (!copy)
        return;
    own_ = newlocale(LC_NUMERIC_MASK, "C", copy);
    if (!own_) {
        freelocale(copy);
        return;
    }
    previous_ = uselocale(own_);
}

CNumbersScope::~CNumbersScope()
{
    if (!own_)
        return;
    uselocale(previous_);
    freelocale(own_);
}

} // namespace format
