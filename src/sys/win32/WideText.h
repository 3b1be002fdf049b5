#pragma once
// Text is UTF-8 everywhere inside the program; the Windows API takes and
// gives UTF-16. These two conversions are the only crossing point.
#include <string>

namespace pelican {

// UTF-8 to UTF-16. Bytes that are not UTF-8 become U+FFFD.
std::wstring Widen(const std::string& text);
// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string Narrow(const std::wstring& text);
std::string Narrow(const wchar_t* text);

}  // namespace pelican
