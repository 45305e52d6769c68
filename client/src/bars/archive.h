// The price-bar archive: the history of each bar series (security,
// parameter, period) that a data line asks for: price series (parameter
// kPriceSeries) for bar lines, parameter series (the parameter's slot) for
// parameter lines, kept in memory while the line is
// built and in one file per series in the folder "archive" under the work
// folder. A series is loaded from its file and completed by a history
// request to the server from its last bar on; a file written in the current
// trading session counts as complete.
//
// File: u32 version 1, the 37-byte trading-session key, then bars of 48
// bytes (open, high, low, close, volume as f64, date and time as u32) to the
// end of the file, little-endian, in ascending time. Files are written whole
// (temporary file, then rename). A damaged file (short header, another
// version, a bar with an impossible moment or out of order) is logged,
// deleted and treated as empty. File names are made from the class and
// security codes with every byte other than a letter, a digit or '-'
// written as "%XX", so no code can reach outside the folder and different
// codes never share a file; a parameter series adds the escaped parameter
// name ("CLS_SEC1_PRM_day.dat"). Parameters with flag 0x4000 have no
// archive.
//
// The entries live in the library's price-bar block list (one entry per
// series, its blocks the series' bars). Everything runs under the library
// lock; allocation failure throws std::bad_alloc.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "bars/price_bar.h"
#include "keldaapi/keldaapi.h"

namespace kelda::kelapi {

class Library;

inline constexpr int32_t kPriceSeries = -1;  // the parameter of a price series

// A series: its security, its parameter (a slot, or kPriceSeries) and its
// period.
struct SeriesKey {
  int32_t security = 0;
  int32_t param = kPriceSeries;
  int32_t period = 0;
};

// "CLS_SEC1_5.dat": the file name of a price series; with a parameter name,
// "CLS_SEC1_PRM_5.dat".
std::string archive_file_name(std::string_view class_code, std::string_view security_code, int32_t period,
                              std::string_view param_name = {});

// Asks for a series: loads its file into a new entry and, unless the file
// is of this session, asks the server for what follows (0x8031).
void ask_archive(Library& lib, const SeriesKey& key);
// Whether a line of the series may be built: not connected, no entry, or the
// entry loaded.
bool archive_ready(Library& lib, const SeriesKey& key);
// Whether the archive holds an entry for the series.
bool archive_holds(Library& lib, const SeriesKey& key);
// Hands the series' bars to a data line; the entry goes.
BarSeries take_archive(Library& lib, const SeriesKey& key);

// The assembled server message of code 31: a history reply.
void on_archive_reply(Library& lib, std::span<const uint8_t> data);

// ---- exports (lock taken inside) ----
// `param_name`: null for the price series.
KelapiResult clear_data_line_archive(Library& lib, uint32_t class_number, uint32_t security_number, int32_t period,
                                     const char* param_name);
KelapiResult clear_archive(Library& lib);

}  // namespace kelda::kelapi
