// The extra-parameter forms, kind by kind.
#include "indicator_forms.h"

namespace kelda::terminal {
namespace {

using W = Widget;

ParamField period(const char16_t* caption, uint16_t offset) { return {caption, W::period, offset}; }

std::vector<ParamForm> make_forms() {
  const ParamField short_period = period(u"Короткий период", 0);
  const ParamField long_period = period(u"Длинный период", 4);
  const std::vector<ParamField> period_and_field = {period(u"Кол-во периодов", 0), {u"Поле цены", W::price, 4}};
  return {
      {179, {3, 30, 31, 35}, {period(u"Число периодов", 0), {u"Метод", W::method, 4}, {u"Поле цены", W::price, 8}}},
      {196,
       {4},
       {short_period, long_period, {u"Метод", W::method, 8}, {u"Поле цены", W::price, 12}, {u"", W::percent, 16}}},
      {227,
       {5, 28},
       {short_period,
        long_period,
        {u"Метод", W::method2, 8},
        {u"Поле цены", W::price, 12},
        {u"", W::percent, 16},
        {u"Кол-во периодов", W::period, 20, 1},
        {u"Метод", W::method2, 32, 1},
        {u"Вид графика", W::chart_kind, 28, 1},
        {u"Цвет", W::colour, 24, 1}},
       true},
      {189, {6, 9, 13, 26, 33}, period_and_field},
      {192, {12}, period_and_field},
      {186,
       {7},
       {period(u"Количество периодов", 4),
        {u"Отклонения", W::real32, 0},
        {u"Метод", W::method, 12},
        {u"Поле цены", W::price, 8}}},
      {198,
       {8},
       {{u"Кол-во периодов", W::period, 0, 0, u"Параметры %K"},
        period(u"Сглаживание", 4),
        {u"Кол-во периодов", W::period, 8, 0, u"Параметры %D"},
        {u"Метод", W::method, 12},
        {u"Вид графика", W::chart_kind, 20},
        {u"Цвет линии", W::colour, 16}}},
      {195, {10}, {{u"Шаг", W::real64, 0}, {u"Макс.шаг", W::real64, 8}}},
      {191,
       {11},
       {period(u"Количество периодов", 4),
        period(u"Коэффициент", 0),
        {u"Метод", W::method, 8},
        {u"Поле цены", W::price, 12}}},
      {191,
       {18},
       {period(u"Количество периодов", 4),
        {u"Коэффициент", W::real32, 0},
        {u"Метод", W::method, 12},
        {u"Поле цены", W::price, 8}}},
      {193, {16, 17}, {period(u"Кол-во периодов", 0)}},
      {194, {20}, {{u"Поле цены", W::price, 0}}},
      {197,
       {19},
       {short_period, {u"Длинный период", W::period, 4, 0, nullptr, u"Длинныйй период"}, {u"Метод", W::method, 8}}},
      {187, {22}, {short_period, long_period, {u"Метод", W::method, 8}, {u"Поле цены", W::price, 12}}},
      {190, {24}, {period(u"Кол-во периодов", 4), {u"Метод", W::method, 8}, {u"Поле цены", W::price, 12}}},
      {188, {27}, {period(u"Кол-во периодов", 0), {u"Метод", W::method, 4}}},
      {199,
       {29},
       {{u"Периоды", W::period, 8, 0, u"Челюсть"},
        period(u"Сдвиг", 20),
        {u"Цвет", W::colour, 32},
        {u"Периоды", W::period, 12, 0, u"Зубы"},
        period(u"Сдвиг", 24),
        {u"Цвет", W::colour, 36},
        {u"Периоды", W::period, 16, 0, u"Губы"},
        period(u"Сдвиг", 28),
        {u"Цвет", W::colour, 40}}},
      {185,
       {36, 37},
       {short_period,
        long_period,
        {u"Метод", W::method, 8},
        {u"на возрастание", W::colour, 16, 0, u"Цвет графика"},
        {u"на убывание", W::colour, 20}}},
      {200,
       {38},
       {period(u"Tenkan", 0),
        period(u"Kijun", 4),
        period(u"Senkou", 8),
        period(u"Chinkou", 12),
        period(u"Сдвиг", 16),
        {u"Tenkan", W::colour, 1020, 0, u"Цвета"},
        {u"Kijun", W::colour, 1024},
        {u"Senkou Span 1", W::colour, 1028},
        {u"Senkou Span 2", W::colour, 1032},
        {u"Chinkou", W::colour, 1036}}},
  };
}

}  // namespace

const std::vector<ParamForm>& param_forms() {
  static const std::vector<ParamForm> forms = make_forms();
  return forms;
}

const ParamForm* param_form(int32_t kind) {
  for (const ParamForm& form : param_forms()) {
    for (int32_t k : form.kinds) {
      if (k == kind) return &form;
    }
  }
  return nullptr;
}

bool field_disabled(int32_t kind, const ParamField& field) {
  if ((kind == 30 || kind == 35) && field.widget == W::price) return true;
  return kind == 28 && (field.widget == W::chart_kind || field.widget == W::colour);
}

}  // namespace kelda::terminal
