#pragma once
// Where a station takes its boards' numbers and keeps their records: the
// counter file and the JSON log (file:), or a database that the stations of
// a line share. A number is taken, and the board it goes to named, before
// anything is sent to the board; the whole record follows at the end of
// its run.
#include <string>

#include "station/RunRecord.h"

namespace pelican {

class CSerialNumber;

class IBoardStore {
public:
    virtual ~IBoardStore() = default;

    // Before the port is opened: whether the records can be kept; false,
    // with the line that says why in error.
    virtual bool Open(std::string& error) = 0;
    // Whether the store keeps the boards' records (the file: store only
    // with --log).
    virtual bool KeepsRecords() const = 0;
    // Whether the number serial's counter holds next fits its format,
    // without taking it; false with the line that says why.
    virtual bool Check(const CSerialNumber& serial, std::string& error) = 0;
    // Takes the next number of serial's counter for the board record names
    // (time, host, port, adapter) and leaves the board's trace with it in
    // one step: never a number without its board. taken: the number and
    // its bytes; false with the line that says why.
    virtual bool Take(const CSerialNumber& serial, const CRunRecord& record, CRunRecord::Serial& taken,
                      std::string& error) = 0;
    // Keeps the board's whole record at the end of its run; false with the
    // line that says why.
    virtual bool Finish(const CRunRecord& record, std::string& error) = 0;
};

}  // namespace pelican
