#pragma once
// File-type filters of the file-open dialog. Callers write them the way the
// original platform takes them, "Name (*.s;*.mot)|*.s;*.mot|...|"; Qt wants
// one entry per type with space-separated patterns in trailing parentheses.
#include <string>

#include <QStringList>

namespace pelican::ui {

// One Qt name filter per complete name/pattern pair: the name without its own
// parenthesised pattern list, followed by the patterns that really apply.
// "*.*" becomes "*", since on the original platform it matched every file,
// names without an extension included.
QStringList ConvertFileFilter(const std::string& filter);

}  // namespace pelican::ui
