// A process that ends while a provider plug-in is still initialised must end
// cleanly: the module's unload hook uninitialises the provider once more at
// exit, when the statics of the process may already be gone. Each case runs
// the host several times, since a fault in that order shows only now and then.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <string>

#include "platform/module.h"
#include "testsupport/test_dir.h"

namespace {

struct ExitCase {
  const char* module;
  bool unload_first;
};

void PrintTo(const ExitCase& c, std::ostream* os) {
  *os << c.module << (c.unload_first ? " unloaded by the host" : " left loaded");
}

class ProviderExit : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ProviderExit, EndsWithStatusZeroEveryTime) {
  const ExitCase& c = GetParam();
  const std::filesystem::path folder = kelda::platform::program_folder();
  const std::filesystem::path settings = kelda::test::test_dir() / "provider.ini";
  std::ofstream(settings) << "[signal_com_message_pro_common_settings]\r\n";
  const std::string command = (folder / "provider_exit_host").string() + " " + (folder / c.module).string() +
                              " " + settings.string() + (c.unload_first ? " unload" : "") + " 2>&1";
  for (int run = 0; run < 10; ++run) {
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.module << ": run " << run << " ended by a signal";
    ASSERT_EQ(WEXITSTATUS(status), 0) << c.module << ": run " << run;
  }
}

INSTANTIATE_TEST_SUITE_P(Providers, ProviderExit,
                         ::testing::Values(ExitCase{"Sigprov.so", false}, ExitCase{"Sigprov.so", true},
                                           ExitCase{"Sekura32_Pr.so", false}, ExitCase{"Sekura32_Pr.so", true}),
                         [](const ::testing::TestParamInfo<ExitCase>& info) {
                           std::string name = info.param.module;
                           name = name.substr(0, name.find('.'));
                           return name + (info.param.unload_first ? "Unloaded" : "Initialised");
                         });

}  // namespace
