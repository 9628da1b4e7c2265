// Numbers written into files, statements and protocols in the C notation whatever the user's locale. Qt sets the C
// library's locale from the environment, and libraries that format with printf (the workbook writer) follow it: a
// Russian desktop made them write 77,5, which a spreadsheet application reads as 77. What windows show is decided
// by QLocale, not by this.
#pragma once

#include <locale.h>

namespace format {

// The process's numeric locale set to C; called at start-up, once the application object has set the locale from
// the environment.
void useCNumbers();

// For the scope, the C library's numbers on this thread in the C notation (the rest of the locale kept), even if
// something set the process's locale again meanwhile.
class CNumbersScope {
public:
    CNumbersScope();
    ~CNumbersScope();
    CNumbersScope(const CNumbersScope&) = delete;
    CNumbersScope& operator=(const CNumbersScope&) = delete;

private:
    locale_t previous_ = nullptr;
    locale_t own_ = nullptr;
};

} // namespace format
