// Classes, securities and parameter descriptions: what the server's messages
// do to the market tables, the saved files of the tables, the class filter,
// and the exports that read them.
//
// Every function runs under the library lock: the message functions on the
// receive thread, the file functions on the thread that initialises, the
// exports on the caller's thread. Bad input from the server or a file is
// dropped with a diagnostic, never trusted.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "keldaapi/keldaapi.h"
#include "market/records.h"

namespace kelda::kelapi {

class Library;

// ---- messages ----
void on_class_description(Library& lib, const ClassDescription& description);
// A security description, its head already built from either layout.
void on_security_description(Library& lib, const SecurityHead& head);
void on_server_ids(Library& lib, uint32_t request, int16_t flags, int32_t first_position,
                   std::span<const int32_t> server_ids);
void on_request_complete(Library& lib, uint32_t request);
void on_class_texts(Library& lib, uint32_t request, const char* const texts[4]);
void on_class_lists_end(Library& lib);
void on_param_description(Library& lib, const ParamDescription& description);

// Every class is marked as not confirmed by the server.
void mark_classes_unconfirmed(Library& lib);
// The link is gone: no class waits for a request any more.
void reset_class_requests(Library& lib);
// Filters back to empty (nothing is sent).
void reset_market_filters(Library& lib);

// ---- saved files ----
// Reads classes.dat, sec.dat and par.dat; on any failure all three tables are
// left empty and false is returned.
bool load_market_tables(Library& lib);
// Writes the three files.
void save_market_tables(Library& lib);

// ---- lookups for the other tables ----
// The security of a class by code (server id not -1, class confirmed).
int64_t find_security(const Library& lib, std::string_view class_code, std::string_view code);
// The first confirmed class with the code.
int64_t find_class(const Library& lib, std::string_view class_code);

// ---- exports (lock taken inside) ----
KelapiResult book_classes(Library& lib);
void run_book_classes(Library& lib);  // worker command 16
KelapiResult get_class(Library& lib, uint32_t class_number, void* record, uint32_t size, bool ex4);
KelapiResult get_class_securities(Library& lib, uint32_t class_number, void* records, uint32_t size,
                                  bool ex4);
KelapiResult get_class_params(Library& lib, uint32_t class_number, KelapiClassParamRecord* records);
KelapiResult set_class_filter(Library& lib, uint32_t class_number, uint32_t param_count,
                              const int16_t* params, uint32_t security_count, const uint32_t* securities);

// The caller's view of the flags.
uint32_t class_flags_for_caller(uint32_t flags) noexcept;
uint16_t param_flags_for_caller(uint16_t flags) noexcept;

}  // namespace kelda::kelapi
