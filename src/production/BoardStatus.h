#pragma once
// What one board of a gang is doing, as its line in the live display shows
// it and as the short cell that stands for it when the terminal has fewer
// lines than the gang has boards.
#include <string>

namespace pelican {

struct BoardStatus {
    // The whole: "Program          12/120   pages      3.9 KiB/s".
    std::string line;
    // A few characters: "P 12/120", "ok", "waiting for a board".
    std::string cell;
};

}  // namespace pelican
