// A list view row's cell texts in one block, against a vector of strings.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "row_texts.h"

using kelda::ui::detail::RowTexts;

namespace {

// The behaviour the block replaces: a vector of strings, cells past its end
// empty, an insert or removal past the end doing nothing.
struct Model {
  std::vector<std::u16string> cells;
  void set(size_t i, std::u16string_view t) {
    if (i >= cells.size()) cells.resize(i + 1);
    cells[i] = std::u16string(t);
  }
  void insert(size_t at) {
    if (at < cells.size()) cells.insert(cells.begin() + static_cast<std::ptrdiff_t>(at), std::u16string());
  }
  void erase(size_t at) {
    if (at < cells.size()) cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(at));
  }
};

void expect_same(const RowTexts& row, const Model& m, const std::string& where) {
  ASSERT_EQ(row.size(), m.cells.size()) << where;
  for (size_t i = 0; i < m.cells.size() + 3; ++i) {
    const std::u16string want = i < m.cells.size() ? m.cells[i] : std::u16string();
    ASSERT_EQ(std::u16string(row[i]), want) << where << " cell " << i;
  }
}

}  // namespace

TEST(RowTexts, StepsAgreeWithAVectorOfStrings) {
  // Each step: 's' sets cell `at` to `text`, 'i' inserts an empty cell at `at`,
  // 'e' removes cell `at`.
  struct Step {
    char op;
    size_t at;
    std::u16string text;
  };
  const std::u16string embedded_zero(u"a\0b", 3);
  const Step steps[] = {
      {'s', 0, u"1"},          {'s', 3, u"12345.67"},  // cells 1 and 2 come in empty
      {'s', 1, u"ГАЗПРОМ ао"}, {'s', 1, u""},          // shorter, then empty
      {'s', 2, u"\U0001F600"}, {'s', 0, embedded_zero}, // surrogate pair, a zero unit inside
      {'i', 0, u""},           {'i', 2, u""},           // before the first cell, in the middle
      {'i', 6, u""},           {'i', 7, u""},           // at and past the end: nothing
      {'s', 6, u"tail"},       {'e', 6, u""},           // the last cell
      {'e', 0, u""},           {'e', 9, u""},           // the first cell; past the end: nothing
      {'s', 3, std::u16string(5000, u'Ж')},            // a long text grows the block
      {'s', 3, u"x"},          {'e', 1, u""},
      {'e', 0, u""},           {'e', 0, u""},
      {'e', 0, u""},           {'e', 0, u""},           // the row empties
      {'s', 2, u"again"},
  };
  RowTexts row;
  Model m;
  expect_same(row, m, "empty");
  for (size_t k = 0; k < std::size(steps); ++k) {
    const Step& s = steps[k];
    if (s.op == 's') {
      row.set(s.at, s.text);
      m.set(s.at, s.text);
    } else if (s.op == 'i') {
      row.insert(s.at);
      m.insert(s.at);
    } else {
      row.erase(s.at);
      m.erase(s.at);
    }
    expect_same(row, m, "step " + std::to_string(k));
  }
}

TEST(RowTexts, RandomEditsAgreeWithAVectorOfStrings) {
  std::mt19937 rng(5);
  RowTexts row;
  Model m;
  for (int step = 0; step < 20000; ++step) {
    const size_t at = rng() % 14;
    switch (rng() % 6) {
      case 0: row.insert(at); m.insert(at); break;
      case 1: row.erase(at); m.erase(at); break;
      default: {
        std::u16string t(rng() % 3 == 0 ? rng() % 40 : rng() % 9, u'0');
        for (auto& c : t) c = static_cast<char16_t>(u'0' + rng() % 1200);
        row.set(at, t);
        m.set(at, t);
      }
    }
    if (step % 97 == 0 || step > 19900) expect_same(row, m, "step " + std::to_string(step));
  }
  expect_same(row, m, "end");
}

TEST(RowTexts, CopiesAreIndependent) {
  RowTexts a;
  a.set(0, u"first");
  a.set(2, u"third");
  RowTexts b = a;
  b.set(0, u"changed");
  EXPECT_EQ(a[0], u"first");
  EXPECT_EQ(b[0], u"changed");
  EXPECT_EQ(b[2], u"third");
  RowTexts c;
  c = std::move(b);
  EXPECT_EQ(c[2], u"third");
}
