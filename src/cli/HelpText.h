#pragma once
// What --help shows beside each option's own line: the library's headings
// in the program's words, the actions in a few words each, and the exit
// statuses, every line within 80 columns.
namespace CLI {
class App;
}

namespace pelican {

// The column each option's description starts in; descriptions are written
// in lines of at most 80 minus this many characters.
inline constexpr unsigned kHelpColumn = 24;

// Sets the headings, the help and version flags' texts and the footer.
void SetHelpTexts(CLI::App& cli);

}  // namespace pelican
