#pragma once
// The line database's tables and views, made on first use with their
// version. The views are what a line's other programs (an MES, a
// spreadsheet) and --report read, on SQLite and PostgreSQL alike:
//   pelican_board_view  one row per board and run: the serial as text, the
//                       result ('passed', 'failed', 'in work') and the day
//                       (the station's local date) beside the record.
//   pelican_yield       per day and host: boards, passed, failed, in work,
//                       the first start and the last end.
#include <string>

#include "store/OdbcConnection.h"
#include "store/StoreUrl.h"

namespace pelican {

class CStoreSchema {
public:
    // The version of the tables this program makes and writes.
    static constexpr int kVersion = 1;

    // Makes what is not there yet (the views also in a database whose
    // tables an earlier run made) and commits; false, with the database
    // named in error, after giving up the transaction.
    static bool Make(COdbcConnection& connection, const CStoreUrl& url, std::string& error);
};

}  // namespace pelican
