// The C exports of news, rule files and the trade date: thin wrappers over
// news.h and rule_files.h.
#include "exports/export_guard.h"
#include "keldaapi/keldaapi.h"
#include "news/news.h"
#include "platform/export.h"
#include "rules/rule_files.h"

using kelda::kelapi::guarded;
using kelda::kelapi::Library;
namespace k = kelda::kelapi;

extern "C" {

KELDA_EXPORT KelapiResult KelapiBookNews(void) {
  return guarded([](Library& l) { return k::book_news(l); });
}

KELDA_EXPORT KelapiResult KelapiGetNews(int number, KelapiNewsRecord* record) {
  return guarded([&](Library& l) { return k::get_news(l, number, record); });
}

KELDA_EXPORT KelapiResult KelapiBookNewsBody(int number) {
  return guarded([&](Library& l) { return k::book_news_body(l, number); });
}

KELDA_EXPORT KelapiResult KelapiGetNewsBody(int number, char** text) {
  return guarded([&](Library& l) { return k::get_news_body(l, number, text); });
}

KELDA_EXPORT KelapiResult KelapiKillNews(int number) {
  return guarded([&](Library& l) { return k::kill_news(l, number); });
}

KELDA_EXPORT KelapiResult KelapiBookDliFile(const char* firm_id, uint16_t* request) {
  return guarded([&](Library& l) { return k::book_rule_file(l, firm_id, request); });
}

KELDA_EXPORT KelapiResult KelapiGetDliFile(uint16_t request, char* firm_id, char** name, char** text) {
  return guarded([&](Library& l) { return k::get_rule_file(l, request, firm_id, name, text); });
}

KELDA_EXPORT KelapiResult KelapiGetTradeDate(uint32_t* date) {
  return guarded([&](Library& l) { return k::get_trade_date(l, date); });
}

}  // extern "C"
