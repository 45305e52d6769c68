/* The interface header as a C program sees it: record sizes for the test. */
#include "chart/kelda_chart.h"

size_t chart_c_graph_params_size(void) { return sizeof(VizorGraphParams); }
size_t chart_c_chart_params_size(void) { return sizeof(VizorChartParams); }
size_t chart_c_trend_info_size(void) { return sizeof(VizorTrendInfo); }
