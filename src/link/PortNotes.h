#pragma once
// What is said about a port in words: the names shown beside it in lists,
// and the notes that explain why it may not answer (another program has it,
// ModemManager probes it, brltty took the adapter, a USB latency timer).
#include <map>
#include <string>
#include <vector>

#include "link/PortInfo.h"

namespace pelican {

// The names beside the port in a list: "FT232R USB UART (FTDI), serial
// A6008isP"; empty for a port that reports nothing about itself.
std::string PortLabel(const PortInfo& port);
// The labels of those of ports that have one, by port as listed (COM1 is
// looked up as the device it stands for).
std::map<std::string, std::string> PortLabels(const PortSurvey& survey, const std::vector<std::string>& ports);
// "0403".
std::string HexId(uint16_t id);
// "0403:6001", empty for a port that is not a USB adapter.
std::string UsbIds(const PortInfo& port);
// "/dev/ttyUSB0 (0403:6001, serial A6008isP)": the port as a candidate
// among others.
std::string CandidateText(const PortInfo& port);

// "/dev/ttyUSB0 is open in minicom (pid 4242)"; empty when no other
// program has it open.
std::string HoldersNote(const PortInfo& port);
// "/dev/ttyUSB0 is in use by minicom (pid 4242)": a port another program
// holds, by whom where the system says (Linux), else "COM5 is in use by
// another program" (Windows does not tell who holds a COM port).
std::string PortInUseText(const std::string& name, const PortSurvey& survey);
// Why ModemManager may be in the way of a CDC-ACM port; empty when it is not.
std::string ModemManagerNote(const PortInfo& port, const PortSurvey& survey);
// How to shorten an FTDI adapter's latency timer where Pelican cannot
// (Windows); empty when it is 1 ms or unknown.
std::string LatencyNote(const PortInfo& port);
// The notes above that apply to the port, in that order.
std::vector<std::string> PortNotes(const PortInfo& port, const PortSurvey& survey);
// The adapters brltty took, each with what to do about it.
std::vector<std::string> PortlessNotes(const PortSurvey& survey);

// A USB serial bridge of a kind that some braille displays are built on,
// which brltty's rules may take (WCH CH340/CH341, Silicon Labs CP210x,
// FTDI FT232).
bool IsBrailleBridge(uint16_t vendorId, uint16_t productId);

// The port of survey that path names (COM names in any letter case), or nullptr.
const PortInfo* FindPort(const PortSurvey& survey, const std::string& path);

}  // namespace pelican
