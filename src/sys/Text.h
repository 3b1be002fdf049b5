#pragma once
// Reading numbers the way the original controls and profile functions did:
// optional sign and leading decimal digits; anything else ends the number,
// and a text without digits reads as 0. Values wrap like a 32-bit register.
#include <cstdint>
#include <string>

namespace pelican {

int32_t ParseDecimal(const std::string& text);

}  // namespace pelican

namespace pelican {

// Leading decimal digits only (a sign ends the number), as a number field
// reads them; saturates at the largest 32-bit signed value.
int32_t ParseDigits(const std::string& text);

}  // namespace pelican

namespace pelican {

// True when text ends with suffix, compared exactly (case matters).
bool EndsWith(const std::string& text, const std::string& suffix);
// The same with ASCII letters compared in either case.
bool EndsWithNoCase(const std::string& text, const std::string& suffix);
// The value of one hexadecimal digit (either case), or -1.
int HexDigit(char c);

}  // namespace pelican

namespace pelican {

// Bytes taken as single-byte characters (ISO 8859-1, where every byte is the
// character of the same number), written as UTF-8 for the windows.
std::string Latin1ToUtf8(const std::string& bytes);
// Bytes for a terminal line: control characters (C0, DEL and C1), bytes
// from 0x80 up and the backslash itself written as "\n", "\x1B", "\xE9",
// "\\", so that nothing can move the cursor, clear the screen or forge a
// line.
std::string EscapeForTerminal(const std::string& bytes);
// The same for text that names files: only control characters (C0, DEL
// and the C1 controls of UTF-8) become \xHH; letters of any script and
// backslashes (Windows paths) stay as they are.
std::string EscapeControls(const std::string& text);

}  // namespace pelican
