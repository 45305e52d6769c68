/* KeldaChart: interactive price charts for the terminal. A chart holds a bar
 * list (the time axis shared by all its series), series of values aligned to
 * those bars (the security's own bars, price and volume series, indicators),
 * panes that the series are drawn in, level lines and trend tools.
 *
 * Threading: none inside. Every export runs on the caller's user-interface
 * thread, the one that created the chart; a chart must not be used from two
 * threads. The callbacks run synchronously inside the export or window
 * message that causes them.
 *
 * Ownership: VizorCreateChart returns a chart handle that the caller gives
 * back to VizorDestroyChart. Every record is caller-owned; the library copies
 * what it keeps. Pointers inside records handed to a callback are valid only
 * during that callback.
 *
 * Errors: exports return 1 or 0, an id or a count, and report failures only
 * through the thread's last-error value (VIZOR_ERROR_*); a success leaves the
 * value as it was (except VizorSetChartParams, which sets it to 0). No export
 * throws. A failing export leaves the chart as it was unless its comment says
 * otherwise. Handles are checked against NULL only: a stale handle is the
 * caller's fault.
 *
 * Records: those without pointers have fixed sizes and offsets on every
 * platform (checked below). Records with pointers have the 64-bit layouts
 * documented at each; callers use sizeof. Times are FILETIME values (100 ns
 * since 1601, no time zone step); texts are UTF-16 (char16_t). */
#ifndef KELDA_CHART_KELDA_CHART_H
#define KELDA_CHART_KELDA_CHART_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#include "platform/export.h"
#include "platform/win_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Last-error codes. */
#define VIZOR_ERROR_NO_GRAPH 2         /* the series is not drawn (has no graph) */
#define VIZOR_ERROR_INVALID_HANDLE 6   /* null chart handle */
#define VIZOR_ERROR_NOT_ENOUGH_MEMORY 8
#define VIZOR_ERROR_INVALID_PARAMETER 87 /* unknown id, bad value, wrong size, missing pointer */
#define VIZOR_ERROR_NOT_FOUND 1168     /* no bar at that time */
#define VIZOR_ERROR_TOO_MANY 1381      /* fifty panes or fifty security series */

#define VIZOR_MAX_PANES 50
#define VIZOR_MAX_SECURITY_SERIES 50

/* Chart modes (VizorChartParams.mode). */
#define VIZOR_MODE_ALL 1        /* all bars */
#define VIZOR_MODE_DAY_RANGE 2  /* from..to, intraday bars outside the times of day dropped */
#define VIZOR_MODE_LAST_N 3     /* the last barCount bars */
#define VIZOR_MODE_RANGE 4      /* from..to */

/* Bar interval codes (VizorChartParams.interval truncated): n >= 1 minutes. */
#define VIZOR_INTERVAL_TICK 0
#define VIZOR_INTERVAL_DAY (-1)
#define VIZOR_INTERVAL_WEEK (-2)
#define VIZOR_INTERVAL_MONTH (-3)

/* The parent window: the user-interface layer's window handle value. */
typedef uintptr_t VizorWindow;
/* The chart handle. */
typedef struct VizorChartObject* VizorChart;

/* A wide font request (92 bytes), laid out as the platform's LOGFONTW. */
typedef struct VizorLogFont {
  int32_t height;
  int32_t width;
  int32_t escapement;
  int32_t orientation;
  int32_t weight;
  uint8_t italic;
  uint8_t underline;
  uint8_t strikeOut;
  uint8_t charSet;
  uint8_t outPrecision;
  uint8_t clipPrecision;
  uint8_t quality;
  uint8_t pitchAndFamily;
  char16_t faceName[32];
} VizorLogFont;

/* Chart parameters (192 bytes). Defaults after VizorCreateChart in brackets. */
typedef struct VizorChartParams {
  double interval;          /* 0: minutes n >= 1, 0 tick bars, -1 day, -2 week, -3 month [1.0] */
  int32_t barsPerPage;      /* 8: visible bars, 0 = no scrolling, >= 0 [0] */
  int32_t timeAxisShown;    /* 12 [1] */
  int32_t timeGridShown;    /* 16 [1] */
  COLORREF background;      /* 20 [0] */
  COLORREF gridColour;      /* 24 [0xFFFFFF] */
  COLORREF axisColour;      /* 28 [0xFFFFFF] */
  VizorLogFont font;        /* 32 [-11, weight 400, charset 204, "MS Sans Serif"] */
  COLORREF textColour;      /* 124 [0xFFFFFF] */
  int32_t mode;             /* 128: VIZOR_MODE_* [1] */
  int32_t reserved132;
  FILETIME from;            /* 136: modes 2 and 4 [0] */
  FILETIME to;              /* 144: modes 2 and 4, >= from [0] */
  int32_t barCount;         /* 152: mode 3, >= 1 [100] */
  int32_t leftAxisWidth;    /* 156 [50] */
  int32_t rightAxisWidth;   /* 160 [50] */
  COLORREF trendColour;     /* 164 [0x0000FF] */
  COLORREF levelLineColour; /* 168: set by the host [0] */
  int32_t trendPenWidth;    /* 172 [2] */
  int32_t levelLinePenWidth;/* 176: set by the host [0] */
  int32_t setting180;       /* 180: stored and returned [1] */
  int32_t extraIntervals;   /* 184: empty slots after the last bar, 0..1000 [0] */
  int32_t minIntervals;     /* 188: minimum slots on the time axis, 0..1000 [50] */
} VizorChartParams;

/* Pane parameters (64 bytes). */
typedef struct VizorPaneParams {
  int32_t word0;            /* 0: stored and returned */
  int32_t legendPosition;   /* 4: 2 top, 3 bottom, else none [3] */
  int32_t gridBits;         /* 8: bit 0 left scale grid, bit 1 right [3] */
  int32_t leftAuto;         /* 12 [1] */
  double leftMin;           /* 16: with leftAuto 0, below leftMax */
  double leftMax;           /* 24 */
  int32_t rightAuto;        /* 32 [1] */
  int32_t reserved36;
  double rightMin;          /* 40: with rightAuto 0, below rightMax */
  double rightMax;          /* 48 */
  double zoom;              /* 56: > 0 [1.0] */
} VizorPaneParams;

/* A level line of a graph (24 bytes). */
typedef struct VizorLevelLine {
  double price;             /* 0: key; prices closer than 1e-7 name the same line */
  COLORREF colour;          /* 8 */
  int32_t word12;           /* 12: stored and returned */
  int32_t style;            /* 16: 5 or 8 dotted, else solid */
  int32_t word20;           /* 20: stored and returned */
} VizorLevelLine;

/* Graph parameters: 192 bytes with 4-byte packing on 64-bit systems, the
 * level-line pointer at 180 and its count at 188 (a 32-bit build would put
 * the count at 184 and keep a reserved word at 188). The pointer member is
 * only 4-byte aligned: assign and read it by value, never through a C++
 * reference or a pointer to the member. */
#pragma pack(push, 4)
typedef struct VizorGraphParams {
  COLORREF colour;          /* 0 [0x7F007F] */
  int32_t penWidth;         /* 4 [1] */
  int32_t style;            /* 8: 1-5, 7-11 [1] */
  char16_t legend[66];      /* 12 ["Graph's legend"] */
  int32_t scaleSide;        /* 144: non-zero left scale [1] */
  int32_t scaleGroup;       /* 148 [1] */
  int32_t priceLabels;      /* 152 [0] */
  int32_t percentMode;      /* 156 [0] */
  int32_t shiftFlag;        /* 160 [0] */
  int32_t reserved164;
  double percentBase;       /* 168 [0] */
  int32_t shift;            /* 176: bars [0] */
  const VizorLevelLine* levelLines; /* 180: input of VizorSetGraphParams only */
  int32_t levelLineCount;   /* 188 */
} VizorGraphParams;
#pragma pack(pop)

/* Values of one line at one bar (240 bytes). A line that has no value at
 * the bar reports every price 0.0 and volume 0.0; a value always carries a
 * nonzero volume (1.0 for the lines of indicators). */
typedef struct VizorPointValues {
  char16_t legend[100];     /* 0: NUL-terminated */
  double open;              /* 200 */
  double close;             /* 208 */
  double high;              /* 216 */
  double low;               /* 224 */
  double volume;            /* 232 */
} VizorPointValues;

/* Query of VizorGetCandleEx: 16 bytes on 64-bit systems (count 0, time 4,
 * pointer 8). */
typedef struct VizorCandleQuery {
  int32_t lineCount;        /* written: records filled */
  int32_t timeOfDay;        /* written: HHMMSS of the bar found */
  VizorPointValues* values; /* caller's array, one per line (VizorGetLineCount, at most 5) */
} VizorCandleQuery;

/* Hit record of events 0, 2 and 8: 48 bytes on 64-bit systems, the text
 * pointers at 32 and 40. */
typedef struct VizorHitInfo {
  int32_t paneId;           /* 0 */
  int32_t seriesId;         /* 4: 0 when none */
  int32_t inChartOnly;      /* 8: the point lies in the chart but hit nothing */
  int32_t reserved12;
  double hitValue;          /* 16 */
  int32_t reserved24[2];
  const char16_t* timeText; /* 32: event 8 only */
  const char16_t* priceText;/* 40: event 8 only */
} VizorHitInfo;

/* One trend tool (88 bytes). */
typedef struct VizorTrendInfo {
  double bar1, price1;      /* 0, 8 */
  double bar2, price2;      /* 16, 24 */
  double bar3, price3;      /* 32, 40 */
  int32_t type;             /* 48: 1, 2, 3, 4, 6, 7, 9, 10, 11 */
  COLORREF colour;          /* 52 */
  int32_t penWidth;         /* 56 */
  int32_t graphOrdinal;     /* 60: rewritten by VizorRestoreSavedTrends */
  FILETIME time1;           /* 64 */
  FILETIME time2;           /* 72 */
  FILETIME time3;           /* 80 */
} VizorTrendInfo;

/* A trend move or restyle (16 bytes). */
typedef struct VizorTrendChange {
  int32_t trendId;
  int32_t seriesId;
  COLORREF colour;
  int32_t penWidth;
} VizorTrendChange;

/* Record of event 5: 24 bytes on 64-bit systems (count 0, pointers 8, 16). */
typedef struct VizorTrendMenuInfo {
  int32_t count;            /* entries of seriesIds (at most 50) */
  const int32_t* seriesIds;
  VizorTrendChange* change;
} VizorTrendMenuInfo;

/* One bar record of the time axis (184 bytes), handed to VizorAxisXCallback. */
typedef struct VizorCandleRecord {
  FILETIME time;            /* 0 */
  SYSTEMTIME calendar;      /* 8 */
  int32_t nextYear;         /* 24: first bar of the next year, or -1 */
  int32_t nextMonth;        /* 28 */
  int32_t nextWeek;         /* 32 (weeks begin on Monday) */
  int32_t nextDay;          /* 36 */
  int32_t nextHour;         /* 40 */
  int32_t band2Mark;        /* 44 */
  int32_t band1Mark;        /* 48 */
  char16_t band2Label[33];  /* 52 */
  char16_t band1Label[33];  /* 118 */
} VizorCandleRecord;

typedef void (*VizorEventCallback)(VizorChart chart, void* userData, int32_t code, UINT message, WPARAM wParam,
                                   LPARAM lParam, void* record, int32_t recordSize);
typedef void (*VizorAxisXCallback)(VizorChart chart, void* userData, const VizorCandleRecord* bar,
                                   const void* extraData, double* value, char16_t* text1024);

#define VIZOR_API KELDA_EXPORT

VIZOR_API VizorChart VizorCreateChart(VizorWindow parent, const RECT* rectangle, VizorEventCallback callback,
                                      void* userData);
VIZOR_API BOOL VizorDestroyChart(VizorChart chart);
VIZOR_API BOOL VizorGetChartParams(VizorChart chart, VizorChartParams* out);
VIZOR_API BOOL VizorSetChartParams(VizorChart chart, const VizorChartParams* params);
VIZOR_API BOOL VizorMoveChart(VizorChart chart, const RECT* rectangle);
VIZOR_API LRESULT VizorOnMouseWheel(VizorChart chart, WPARAM wParam, LPARAM lParam);
VIZOR_API BOOL VizorSendMessage(VizorChart chart, UINT message, WPARAM wParam, LPARAM lParam);
VIZOR_API BOOL VizorSessionChanged(VizorChart chart);
/* The crosshair over every chart of the library (off at load); returns 1. */
VIZOR_API BOOL VizorToggleCursorCrosshair(BOOL on);
VIZOR_API BOOL VizorSetCallbackAxisX(VizorChart chart, VizorAxisXCallback callback);
VIZOR_API BOOL VizorStartIntervalChanging(VizorChart chart);
/* Low word: intervals on the time axis; high word: the minimum number. */
VIZOR_API uint64_t VizorGetNumIntervals(VizorChart chart);

/* Bars. Times are rounded down to the chart's interval. Non-finite values
 * are refused with 87; a bar with high below open or close, or low above
 * them, returns 0 without an error code. */
VIZOR_API BOOL VizorAddOHLCV(VizorChart chart, int32_t seriesId, const FILETIME* time, double open, double high,
                             double low, double close, double volume, BOOL redraw);
VIZOR_API BOOL VizorGetCandle(VizorChart chart, int32_t seriesId, DWORD timeLow, DWORD timeHigh, double* open,
                              double* high, double* low, double* close, double* volume);
/* seriesId 0 empties the chart; otherwise the series' points (and those of
 * every series computed from it) become empty and bars no series holds go. */
VIZOR_API BOOL VizorClear(VizorChart chart, int32_t seriesId, BOOL recalculate);

/* Series and graphs. */
VIZOR_API int32_t VizorAddGraphData(VizorChart chart);
VIZOR_API int32_t VizorAddGraph(VizorChart chart, int32_t sourceId, int32_t graphType, int32_t paneId);
VIZOR_API BOOL VizorDeleteGraph(VizorChart chart, int32_t seriesId);
VIZOR_API BOOL VizorDeleteGraphData(VizorChart chart, int32_t seriesId);
VIZOR_API BOOL VizorRedraw(VizorChart chart, int32_t seriesId);
VIZOR_API BOOL VizorGetGraphParams(VizorChart chart, int32_t seriesId, VizorGraphParams* graph, void* params,
                                   int32_t size);
VIZOR_API BOOL VizorSetGraphParams(VizorChart chart, int32_t seriesId, const VizorGraphParams* graph,
                                   const void* params, int32_t size);
VIZOR_API BOOL VizorGetLineCount(VizorChart chart, int32_t seriesId, int32_t* count);
VIZOR_API BOOL VizorGetCandleEx(VizorChart chart, int32_t seriesId, int32_t date, int32_t timeOfDay,
                                VizorCandleQuery* query);
VIZOR_API BOOL VizorSetPrevPrice(VizorChart chart, int32_t seriesId, double price);

/* Level lines. */
VIZOR_API BOOL VizorAddLevelLine(VizorChart chart, int32_t seriesId, const VizorLevelLine* line);
VIZOR_API BOOL VizorDelLevelLine(VizorChart chart, int32_t seriesId, BOOL all, double price);
VIZOR_API int32_t VizorGetLevelLineCount(VizorChart chart, int32_t seriesId);
VIZOR_API BOOL VizorGetLevelLines(VizorChart chart, int32_t seriesId, int32_t count, VizorLevelLine* out);

/* Panes. */
VIZOR_API int32_t VizorAddPane(VizorChart chart);
VIZOR_API BOOL VizorDeletePane(VizorChart chart, int32_t paneId);
VIZOR_API BOOL VizorGetPaneParams(VizorChart chart, int32_t paneId, VizorPaneParams* out);
VIZOR_API BOOL VizorSetPaneParams(VizorChart chart, int32_t paneId, const VizorPaneParams* params);
VIZOR_API BOOL VizorGetPaneSizes(VizorChart chart, int32_t count, double* proportions);
VIZOR_API BOOL VizorSetPaneSizes(VizorChart chart, int32_t count, const double* proportions);

/* Trend tools. */
VIZOR_API BOOL VizorSetTrendType(VizorChart chart, int32_t toolType);
VIZOR_API int32_t VizorGetTrendCount(VizorChart chart);
VIZOR_API BOOL VizorGetTrendsInfo(VizorChart chart, int32_t count, VizorTrendInfo* out);
VIZOR_API BOOL VizorRestoreSavedTrends(VizorChart chart, int32_t count, VizorTrendInfo* records);
VIZOR_API BOOL VizorChangeTrendline(VizorChart chart, int32_t operation, const VizorTrendChange* change);
VIZOR_API BOOL VizorDeleteAllTrends(VizorChart chart, int32_t paneId);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(VizorLogFont) == 92);
static_assert(sizeof(VizorChartParams) == 192 && offsetof(VizorChartParams, font) == 32 &&
              offsetof(VizorChartParams, textColour) == 124 && offsetof(VizorChartParams, from) == 136 &&
              offsetof(VizorChartParams, barCount) == 152 && offsetof(VizorChartParams, minIntervals) == 188);
static_assert(sizeof(VizorPaneParams) == 64 && offsetof(VizorPaneParams, rightMin) == 40 &&
              offsetof(VizorPaneParams, zoom) == 56);
static_assert(sizeof(VizorLevelLine) == 24 && offsetof(VizorLevelLine, style) == 16);
static_assert(sizeof(VizorPointValues) == 240 && offsetof(VizorPointValues, open) == 200);
static_assert(sizeof(VizorTrendInfo) == 88 && offsetof(VizorTrendInfo, type) == 48 &&
              offsetof(VizorTrendInfo, time3) == 80);
static_assert(sizeof(VizorTrendChange) == 16);
static_assert(sizeof(VizorCandleRecord) == 184 && offsetof(VizorCandleRecord, nextYear) == 24 &&
              offsetof(VizorCandleRecord, band2Label) == 52 && offsetof(VizorCandleRecord, band1Label) == 118);
static_assert(offsetof(VizorGraphParams, legend) == 12 && offsetof(VizorGraphParams, scaleSide) == 144 &&
              offsetof(VizorGraphParams, percentBase) == 168 && offsetof(VizorGraphParams, shift) == 176 &&
              offsetof(VizorGraphParams, levelLines) == 180);
static_assert(sizeof(void*) != 8 ||
              (sizeof(VizorGraphParams) == 192 && offsetof(VizorGraphParams, levelLineCount) == 188 &&
               sizeof(VizorCandleQuery) == 16 && sizeof(VizorHitInfo) == 48 &&
               offsetof(VizorHitInfo, priceText) == 40 && sizeof(VizorTrendMenuInfo) == 24));
#endif

#endif /* KELDA_CHART_KELDA_CHART_H */
