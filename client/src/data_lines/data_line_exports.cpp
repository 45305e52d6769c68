// The C exports of minute bars and data lines.
#include "bars/archive.h"
#include "data_lines/data_lines.h"
#include "exports/export_guard.h"
#include "minutes/minutes.h"
#include "platform/export.h"

using kelda::kelapi::guarded;
using kelda::kelapi::Library;

extern "C" {

KELDA_EXPORT KelapiResult KelapiBookMinutesEx(uint32_t class_number, uint32_t security_number) {
  return guarded([&](Library& l) { return kelda::kelapi::book_minutes(l, class_number, security_number, true); });
}

KELDA_EXPORT KelapiResult KelapiUnbookMinutesEx(uint32_t class_number, uint32_t security_number) {
  return guarded([&](Library& l) { return kelda::kelapi::book_minutes(l, class_number, security_number, false); });
}

KELDA_EXPORT KelapiResult KelapiGetMinutesEx(uint32_t class_number, uint32_t security_number, int32_t from_time,
                                             uint32_t* count, KelapiMinuteRecord** records) {
  return guarded([&](Library& l) {
    return kelda::kelapi::get_minutes(l, class_number, security_number, from_time, count, records);
  });
}

KELDA_EXPORT KelapiResult KelapiRegisterDataLine(uint32_t class_number, uint32_t security_number, int32_t period,
                                                 KelapiDataLineCallback callback, uintptr_t context,
                                                 int32_t* line_id) {
  return guarded([&](Library& l) {
    return kelda::kelapi::register_data_line(l, class_number, security_number, period, callback, context, line_id,
                                             true);
  });
}

KELDA_EXPORT KelapiResult KelapiRegisterDataLineEx(uint32_t class_number, uint32_t security_number, int32_t period,
                                                   KelapiDataLineCallback callback, uintptr_t context,
                                                   int32_t* line_id, uint32_t archive_request) {
  return guarded([&](Library& l) {
    return kelda::kelapi::register_data_line(l, class_number, security_number, period, callback, context, line_id,
                                             archive_request != 0);
  });
}

KELDA_EXPORT KelapiResult KelapiRegisterDataLineParam(uint32_t class_number, uint32_t security_number,
                                                      int32_t period, const char* param_name,
                                                      KelapiDataLineCallback callback, uintptr_t context,
                                                      int32_t* line_id) {
  return guarded([&](Library& l) {
    return kelda::kelapi::register_param_line(l, class_number, security_number, period, param_name, callback, context,
                                              line_id);
  });
}

KELDA_EXPORT KelapiResult KelapiDataLineSetOption(int32_t line_id, uint32_t option, int32_t value) {
  return guarded([&](Library& l) { return kelda::kelapi::set_data_line_option(l, line_id, option, value); });
}

KELDA_EXPORT KelapiResult KelapiDataLineStart(int32_t line_id) {
  return guarded([&](Library& l) { return kelda::kelapi::start_data_line(l, line_id); });
}

KELDA_EXPORT KelapiResult KelapiUnregisterDataLine(int32_t line_id) {
  return guarded([&](Library& l) { return kelda::kelapi::unregister_data_line(l, line_id); });
}

KELDA_EXPORT KelapiResult KelapiSetDataLineArchiveSize(int32_t count) {
  return guarded([&](Library& l) { return kelda::kelapi::set_data_line_archive_size(l, count); });
}

KELDA_EXPORT KelapiResult KelapiClearDataLineArchive(uint32_t class_number, uint32_t security_number,
                                                     int32_t period) {
  return guarded([&](Library& l) {
    return kelda::kelapi::clear_data_line_archive(l, class_number, security_number, period, nullptr);
  });
}

KELDA_EXPORT KelapiResult KelapiClearDataLineArchiveParam(uint32_t class_number, uint32_t security_number,
                                                          int32_t period, const char* param_name) {
  // No name names no parameter (refused after the state checks).
  const char* name = param_name != nullptr ? param_name : "";
  return guarded([&](Library& l) {
    return kelda::kelapi::clear_data_line_archive(l, class_number, security_number, period, name);
  });
}

KELDA_EXPORT KelapiResult KelapiClearArchive(void) {
  return guarded([](Library& l) { return kelda::kelapi::clear_archive(l); });
}

}  // extern "C"
