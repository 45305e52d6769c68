// The menu commands that open the table windows.
#include "terminal/limit_windows.h"
#include "terminal/main_frame.h"
#include "terminal/text_log.h"
#include "terminal/trade_windows.h"
#include "terminal/window_kinds.h"

namespace kelda::terminal {
namespace {

template <typename W>
void register_table(int kind, UINT command, const char* utf8_caption) {
  register_window_kind({kind, command, true, cp1251(utf8_caption), {}, [] { return std::make_unique<W>(); }});
}

}  // namespace

void register_table_windows() {
  register_table<TradesWnd>(kind::trades, cmd::trades, "Сделки");
  register_table<OrdersWnd>(kind::orders, cmd::orders, "Заявки");
  register_table<StopOrdersWnd>(kind::stop_orders, cmd::stop_orders, "Стоп-заявки");
  register_table<MoneyLimitsWnd>(kind::money_limits, cmd::money_limits, "Лимиты по денеж. сред.");
  register_table<DepoLimitsWnd>(kind::depo_limits, cmd::depo_limits, "Лимиты по бумагам");
  register_table<FuturesLimitsWnd>(kind::futures_limits, cmd::futures_limits, "Огранич. по кл. счетам");
  register_table<FuturesHoldingsWnd>(kind::futures_holdings, cmd::futures_holdings, "Позиции по кл. счетам");
}

}  // namespace kelda::terminal
