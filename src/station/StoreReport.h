#pragma once
// --report QUESTION: what a line asks of its database, read from the views
// the store makes (pelican_board_view, pelican_yield) without a board:
//   serial=N or serial=NAME:N   the board(s) with that number (of every
//                               counter, or of NAME's)
//   file=F                      every board programmed with F: the file's
//                               name as recorded, or its SHA-256 (64 hex
//                               digits)
//   yield or yield=YYYY-MM-DD   boards, passed, failed and in work per
//                               station, today (the local date) or that day
// A person's answer is a table with a header, a line per board or station;
// with --json one object per line, the views' columns as keys.
#include <functional>
#include <string>

#include "store/StoreUrl.h"

namespace pelican {

class CStoreReport {
public:
    enum class Kind { Serial, File, Sha256, Yield };
    struct Question {
        Kind kind = Kind::Yield;
        std::string name;   // Serial: the counter's name; empty: every counter's
        std::string value;  // Serial: the number; File: the name; Sha256: the hash; Yield: the day or empty
    };

    // False, with the syntax expected in error, for any other text.
    static bool Parse(const std::string& text, Question& question, std::string& error);

    CStoreReport(const CStoreUrl& url, bool json) : m_url(url), m_json(json) {}

    // Asks the database; kExitDone with the answer printed (also when no
    // board matches), kExitRecordFiles when it cannot be read (told).
    // today: the local date, YYYY-MM-DD, for a yield without a day.
    int Run(const Question& question, const std::string& today);

    // Each line of the answer (standard output) and each failure (standard error).
    std::function<void(const std::string&)> m_print;
    std::function<void(const std::string&)> m_report;

private:
    CStoreUrl m_url;
    bool m_json = false;
};

}  // namespace pelican
