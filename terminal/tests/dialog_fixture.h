// A terminal for dialog tests: a headless session, the application over the
// fake client in the test's own folder, and helpers that put classes,
// securities, parameters and accounts straight into the manager's tables.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "fake_client.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "testsupport/test_dir.h"
#include "ui/testing.h"

namespace kelda::terminal {

class DialogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
    reset_log();
    app = std::make_unique<TerminalApp>(client);
    ASSERT_TRUE(app->init_instance());
  }
  void TearDown() override { app.reset(); }
  DataFeedManager& m() { return app->data(); }

  ClassRecord& add_class(uint32_t number, const std::string& code, const std::string& name,
                         const std::string& firm = "") {
    auto cls = std::make_unique<ClassRecord>();
    cls->record.class_number = number;
    copy_text(cls->record.code, code);
    copy_text(cls->record.name, cp1251(name));
    copy_text(cls->record.code2, firm);
    ClassRecord& ref = *cls;
    m().tables().class_by_number[number] = cls.get();
    m().tables().classes[code] = std::move(cls);
    return ref;
  }
  SecurityRecord& add_security(ClassRecord& cls, uint32_t number, const std::string& code, const std::string& name,
                               int scale = 2) {
    auto sec = std::make_unique<SecurityRecord>();
    sec->record.security_number = number;
    sec->record.scale = static_cast<int16_t>(scale);
    copy_text(sec->record.code, code);
    copy_text(sec->record.name, cp1251(name));
    SecurityRecord& ref = *sec;
    cls.security_by_number[number] = sec.get();
    cls.securities[code] = std::move(sec);
    return ref;
  }
  void add_param(ClassRecord& cls, uint16_t number, const std::string& db_name, const std::string& name) {
    KelapiClassParamRecord p{};
    p.param_number = number;
    copy_text(p.db_name, db_name);
    copy_text(p.long_name, cp1251(name));
    cls.add_param(p);
  }
  void add_account(uint32_t number, const std::string& firm, const std::string& code) {
    auto a = std::make_unique<KelapiTrdAccountRecord>();
    a->account_number = number;
    copy_text(a->code2, firm);
    copy_text(a->code, code);
    m().tables().account_by_number[number] = a.get();
    m().tables().accounts.push_back(std::move(a));
  }
  std::string settings_file() { return test::read_file_bytes(test::test_dir() / "KeldaMobile.txt"); }

  ui::HeadlessUi ui;
  FakeClient client{10};
  std::unique_ptr<TerminalApp> app;
};

}  // namespace kelda::terminal
