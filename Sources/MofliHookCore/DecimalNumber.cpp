#include "DecimalNumber.h"

#include <locale.h>
#include <stdlib.h>
#include <string>
// Apple declares strtod_l here, for whatever <stdlib.h> was included before it.
#if __has_include(<xlocale.h>)
#include <xlocale.h>
#endif

namespace DecimalNumber {

namespace {

// The app sets the user's locale, whose decimal separator may be a comma: strtod alone would stop
// at the point of "1.5". The C locale reads every JSON number whole.
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

} // namespace

double parse(const char* first, const char* last) {
    // strtod_l wants a terminated string, and the number inside a document is followed by more.
    const std::string text(first, last);
    return strtod_l(text.c_str(), nullptr, cLocale());
}

} // namespace DecimalNumber
