/* KeldaApi: news, rule files and the trade date. Included by keldaapi.h;
 * see there for threading, ownership and errors.
 *
 * KELAPI_EVENT_NEWNEWS: wparam the change (0 added or body complete,
 * 1 deleted), lparam the item number (1-based; numbers never shift).
 * KELAPI_EVENT_DLIFILE: wparam (mark << 16) | request number, the mark 1
 * when the server refused the file; lparam then points to the server's
 * message (8-bit text, valid during the call), else 0.
 * Texts handed out (news bodies, rule-file names and texts) are released
 * with KelapiFree.
 */
#ifndef KELDAAPI_KELDAAPI_NEWS_H
#define KELDAAPI_KELDAAPI_NEWS_H

#ifdef __cplusplus
extern "C" {
#endif

/* KelapiGetNews: 232 bytes. */
typedef struct KelapiNewsRecord {
  int32_t body_received;    /* 0: 1 when the whole body is held */
  int32_t id;               /* 4 */
  int32_t date;             /* 8: YYYYMMDD */
  int32_t has_body;         /* 12 */
  int32_t number;           /* 16: the item number */
  int32_t time;             /* 20: HHMMSS */
  char source[65];          /* 24 */
  char code[13];            /* 89 */
  char reserved[1];         /* 102 */
  char headline[129];       /* 103 */
} KelapiNewsRecord;

KelapiResult KelapiBookNews(void);
KelapiResult KelapiGetNews(int number, KelapiNewsRecord* record);
/* Asks for an item's body; the text received so far is discarded. */
KelapiResult KelapiBookNewsBody(int number);
KelapiResult KelapiGetNewsBody(int number, char** text);
KelapiResult KelapiKillNews(int number);

/* Asks for a firm's rule file (firm id of at most 12 characters); the
 * request number is stored through `request` when it is not null. */
KelapiResult KelapiBookDliFile(const char* firm_id, uint16_t* request);
/* firm_id holds at least 13 bytes. */
KelapiResult KelapiGetDliFile(uint16_t request, char* firm_id, char** name, char** text);
KelapiResult KelapiGetTradeDate(uint32_t* date);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(KelapiNewsRecord) == 232 && offsetof(KelapiNewsRecord, headline) == 103);
#endif

#endif /* KELDAAPI_KELDAAPI_NEWS_H */
