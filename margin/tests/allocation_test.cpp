// With memory callbacks set, the library takes no memory from the process's
// operator new: this program replaces the global operator new and counts the
// calls made while a Margo* export runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "fake_terminal.h"

namespace {

bool g_counting = false;
int g_global_news = 0;

void* counted_new(std::size_t size) noexcept {
  if (g_counting) ++g_global_news;
  return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = counted_new(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = counted_new(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted_new(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted_new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace kelda::margin::test {
namespace {

void* hook_alloc(int32_t size) { return std::malloc(static_cast<std::size_t>(size)); }
void hook_free(void* p) { std::free(p); }
void* hook_realloc(void* p, int32_t size) { return std::realloc(p, static_cast<std::size_t>(size)); }

// Runs one export with the counter armed; the number of operator new calls.
template <class Call>
int global_news_during(Call&& call) {
  g_global_news = 0;
  g_counting = true;
  call();
  g_counting = false;
  return g_global_news;
}

TEST(MarginAllocation, ExportsTakeMemoryOnlyThroughTheCallbacks) {
  FakeTerminal& t = FakeTerminal::instance();
  t.reset();
  ASSERT_TRUE(MargoSetMemoryManagement(hook_alloc, hook_free, hook_realloc));
  ASSERT_TRUE(t.install(2));
  t.set_prices(10, 101, 250.5, 250.25, 248.5, 250);
  t.set_prices(20, 201, 150.5, 150.25, 149.75, 150);
  t.add_money({"F1", "C1", "EQTV", "SUR", 100000, 0, 100000, 0, 0, 0, -1});
  t.add_depo({"F1", "C1", "GAZP", "", 2, 0, 4, 0, 0, 0, 0});
  t.add_depo({"F1", "C1", "SBER", "", 1, 0, 1, 0, 0, 0, 0});
  MargoClass tqbr{10, 2, 0, "TQBR", 0, {}};
  MargoClass smal{20, 1, 0, "SMAL", 0, {}};
  MargoSecurity tqbr_securities[] = {{0, 101, 0, 1, "SBER"}, {0, 102, 0, 1, "LKOH"}};
  MargoSecurity smal_securities[] = {{0, 201, 0, 1, "GAZP"}};

  EXPECT_EQ(global_news_during([] {
              EXPECT_TRUE(MargoSetDliniFile("F1",
                                            "[GENERAL]\nMAINMARGINCLASSES=SMAL,TQBR\n[LIMITALLOWEDSECURITY]\n"
                                            "TQBR=SBER,LKOH\nSMAL=<ALL>\n[ASSETSECURITIES]\nTQBR=SBER\n"));
            }),
            0);
  EXPECT_EQ(global_news_during([&] { EXPECT_TRUE(MargoAddClass(&tqbr, tqbr_securities)); }), 0);
  EXPECT_EQ(global_news_during([&] { EXPECT_TRUE(MargoAddClass(&smal, smal_securities)); }), 0);

  MargoMarginalRow row = make_row("F1", "C1");
  MargoActivity a{};
  a.size = 56;
  a.classId = 20;
  a.securityId = 201;
  EXPECT_EQ(global_news_during([&] {
              EXPECT_TRUE(MargoInitMarginalRow(&row));
              EXPECT_TRUE(MargoCalcMarginalRow(&row));
              EXPECT_TRUE(MargoInitMarginalActv(&row, &a));
              EXPECT_TRUE(MargoCalcMarginalActv(&row, &a, 0));
              int32_t ids[4], count = 4;
              EXPECT_TRUE(MargoGetNeedClassSecIDs(10, ids, &count));
              EXPECT_TRUE(MargoGetMarginSecs(&row, [](const MargoMarginSecEntry*, int32_t, intptr_t) {}, 0));
            }),
            0);
  t.reset();
}

}  // namespace
}  // namespace kelda::margin::test
