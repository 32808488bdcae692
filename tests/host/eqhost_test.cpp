// eqhost as its users run it: the real program, started with its arguments, against the
// real SMTP server on loopback (aiosmtpd, STARTTLS and AUTH LOGIN); what arrives is read
// back with Python's e-mail parser.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <regex>
#include <sstream>

#include "mail/codecs/base64.h"
#include "support/smtp_server_fixture.h"
#include "support/temp_dir.h"

#ifndef EQ_EQHOST_PATH
#error "EQ_EQHOST_PATH must name the eqhost program"
#endif

namespace eqd {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::ShellQuote;
using test::TSmtpServerOptions;
using test::TSmtpServerProcess;
using test::TTempDir;

struct TRun {
  int Exit = -1;
  std::string Out;
  std::string Err;
  std::vector<json> Lines() const {
    std::vector<json> lines;
    std::istringstream in(Out);
    for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
    return lines;
  }
};

class EqhostTest : public ::testing::Test {
 protected:
  // Runs eqhost with its temporary files, logs and folders inside this test's folder.
  TRun Eqhost(const std::vector<std::string>& args, const std::string& input = "") {
    return RunEqhost(ShellQuote(EQ_EQHOST_PATH), args, input);
  }

  // The same as the unprivileged user "nobody", a second user of the machine sharing
  // its data folder. It runs a copy of eqhost in this test's folder, which every user may
  // read; the tests that use it run as root and are skipped otherwise.
  TRun EqhostAsNobody(const std::vector<std::string>& args, const std::string& input = "") {
    const fs::path copy = dir_.Path() / "eqhost";
    fs::permissions(dir_.Path(), kReadable | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
    if (!fs::exists(copy)) {
      fs::copy_file(EQ_EQHOST_PATH, copy);
      fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    }
    return RunEqhost(std::string(kAsNobody) + ShellQuote(copy.string()), args, input);
  }

  TRun RunEqhost(const std::string& program, const std::vector<std::string>& args, const std::string& input) {
    std::string command = "cd " + ShellQuote(dir_.Path().string()) + " && env TMPDIR=" + ShellQuote(tmp_.string()) +
                          " VLM_DODEZOZ41_DATA_DIR=" + ShellQuote(dir_.File("data")) +
                          " EQHOST_HOME=" + ShellQuote(dir_.File("home")) + " " + program;
    for (const auto& a : args) command += " " + ShellQuote(a);
    command += " <" + ShellQuote(dir_.Write("stdin", input)) + " >" + ShellQuote(dir_.File("stdout")) + " 2>" +
               ShellQuote(dir_.File("stderr"));
    const int status = std::system(command.c_str());
    TRun run;
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Out = test::ReadFileBytes(dir_.File("stdout"));
    run.Err = test::ReadFileBytes(dir_.File("stderr"));
    return run;
  }

  std::string SettingsFor(const TSmtpServerProcess& server) {
    const json settings = {{"SmtpServerName", "localhost"},
                           {"SmtpServerPort", std::to_string(server.Port())},
                           {"SmtpServerUser", TSmtpServerOptions{}.User},
                           {"SmtpServerPassword", TSmtpServerOptions{}.Password},
                           {"UserEmail", "Служба уведомлений <notify@example.test>"}};
    return dir_.Write("settings.json", settings.dump());
  }

  // Files the driver left in the temporary folder.
  std::size_t TempFilesLeft() const {
    std::size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(tmp_)) n += e.is_regular_file();
    return n;
  }

  void SetUp() override { fs::create_directories(tmp_); }

  // A file of this test that every user may read.
  std::string Readable(std::string_view name, std::string_view content) {
    const std::string path = dir_.Write(name, content);
    fs::permissions(path, kReadable);
    return path;
  }

  // Settings with the call trace and the event log on, for a server that is not there.
  std::string TracedSettings() {
    return Readable("traced.json", R"({"SmtpServerName": "127.0.0.1", "SmtpServerPort": "1", "SmtpServerUser": "u",
        "SmtpServerPassword": "p", "UserEmail": "r@example.test", "DebugLogEnabled": true})");
  }
  fs::path TraceFolder() const { return dir_.Path() / "data" / "vlm_dodezoz41"; }
  fs::path EventLogFolder() const { return dir_.Path() / "data" / "Korventa" / "vlm_dodezoz41"; }

  static constexpr fs::perms kReadable =
      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
  // How check --connect ends when nothing listens: Enable and CheckHealth passed, so no
  // log file stopped them, and the connection test failed.
  static constexpr const char* kRefusedConnection = "eqhost: TestConnection: ";

  static constexpr const char* kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

  TTempDir dir_{"eqd-eqhost-"};
  fs::path tmp_ = dir_.Path() / "tmp";
};

TEST_F(EqhostTest, SendDeliversTheNotificationOverStartTlsWithLogin) {
  TSmtpServerProcess server;
  const std::string logo = dir_.Write("logo.png", std::string("\x89PNG\r\n\x1a\n\0\x01\x02", 11));
  const std::string pdf = dir_.Write("счёт.pdf", "%PDF-1.4\n%\xE2\xE3\n");
  const std::string csv = dir_.Write("data.csv", "a;b\r\n1;2\r\n");
  const std::string html = dir_.Write("body.html", "<h1>Заказ №15 готов</h1>\n<p><img src=\"cid:logo@shop\"></p>\n");

  const TRun run = Eqhost({"send", "--settings", SettingsFor(server), "--to", "buyer@example.test",
                           "Второй получатель <second@example.test>", "--cc", "manager@example.test", "--bcc",
                           "archive@example.test", "--subject", "Ваш заказ готов к выдаче", "--body-file", html,
                           "--inline", logo + ",image/png,logo@shop", "--attach", pdf, "--attach-base64",
                           "выгрузка.csv," + csv});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  EXPECT_EQ(run.Err, "");

  const auto eml = server.WaitForMessage(1);
  EXPECT_EQ(server.Envelope(1)["rcpt_tos"], json::array({"buyer@example.test", "second@example.test",
                                                         "manager@example.test", "archive@example.test"}));
  EXPECT_EQ(server.Envelope(1)["mail_from"], "notify@example.test");
  EXPECT_EQ(server.Envelope(1)["auth_user"], TSmtpServerOptions{}.User);
  EXPECT_NE(server.Envelope(1)["tls_version"], nullptr);
  const json m = test::SummarizeMessage(eml, dir_.Path() / "parts");
  EXPECT_EQ(m["subject"], "Ваш заказ готов к выдаче");
  EXPECT_EQ(m["from"], "Служба уведомлений <notify@example.test>");
  EXPECT_EQ(m["to"], "buyer@example.test, Второй получатель <second@example.test>");
  EXPECT_EQ(m["cc"], "manager@example.test");
  EXPECT_EQ(m["bcc"], "");
  EXPECT_EQ(m["html"], "<h1>Заказ №15 готов</h1>\n<p><img src=\"cid:logo@shop\"></p>");
  EXPECT_EQ(m["structure"], "multipart/mixed[multipart/related[multipart/alternative[text/html], image/png], "
                            "application/pdf, text/csv]");
  ASSERT_EQ(m["attachments"].size(), 3u);
  EXPECT_EQ(m["attachments"][0]["content_id"], "logo@shop");
  EXPECT_EQ(m["attachments"][1]["filename"], "счёт.pdf");
  EXPECT_EQ(m["attachments"][2]["filename"], "выгрузка.csv");
  for (int i = 0; i < 3; ++i) {
    const std::string original = test::ReadFileBytes(i == 0 ? logo : i == 1 ? pdf : csv);
    EXPECT_EQ(test::ReadFileBytes(m["attachments"][i]["file"].get<std::string>()), original) << i;
  }
  EXPECT_EQ(TempFilesLeft(), 0u);
}

// The Date field, the unique part of the Message-ID and the MIME boundaries replaced by
// fixed text: all that may differ between two compositions of the same message.
std::string WithoutDateIdAndBoundaries(std::string text) {
  text = std::regex_replace(text, std::regex("\r\nDate: [^\r]*"), "\r\nDate: (date)");
  text = std::regex_replace(text, std::regex("\r\nMessage-ID: <[^@]*@"), "\r\nMessage-ID: <(unique)@");
  std::vector<std::string> boundaries;
  const std::regex boundary("boundary=\"([^\"]+)\"");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), boundary); it != std::sregex_iterator(); ++it)
    boundaries.push_back((*it)[1]);
  for (std::size_t i = 0; i < boundaries.size(); ++i)
    for (auto at = text.find(boundaries[i]); at != std::string::npos; at = text.find(boundaries[i], at))
      text.replace(at, boundaries[i].size(), "(boundary " + std::to_string(i) + ")");
  return text;
}

TEST_F(EqhostTest, DryRunWritesTheMessageTheSameSendDelivers) {
  TSmtpServerProcess server;
  const std::string logo = dir_.Write("logo.png", std::string("\x89PNG\r\n\x1a\n\0\x01\x02", 11));
  const std::string pdf = dir_.Write("счёт.pdf", "%PDF-1.4\n%\xE2\xE3\n");
  const std::vector<std::string> send = {
      "send", "--settings", SettingsFor(server), "--to", "buyer@example.test", "Второй получатель <second@example.test>",
      "--cc", "manager@example.test", "--bcc", "archive@example.test", "--subject", "Ваш заказ готов к выдаче",
      "--body", "<p>Заказ №15 готов <img src=\"cid:logo@shop\"></p>\r\n.\r\n", "--inline",
      logo + ",image/png,logo@shop", "--attach", pdf};

  // The dry run is pointed at a closed port: it connects nowhere.
  std::vector<std::string> dryRunArgs = send;
  const std::string eml = dir_.File("письмо.eml");
  for (const std::string a : {"--set", "SmtpServerPort=1", "--dry-run", eml.c_str()}) dryRunArgs.push_back(a);
  const TRun dryRun = Eqhost(dryRunArgs);
  ASSERT_EQ(dryRun.Exit, 0) << dryRun.Err;
  EXPECT_EQ(dryRun.Err, "");
  const TRun sent = Eqhost(send);
  ASSERT_EQ(sent.Exit, 0) << sent.Err;

  const json envelope = json::parse(dryRun.Out);
  EXPECT_EQ(envelope["sender"], server.Envelope(1)["mail_from"]);
  EXPECT_EQ(envelope["recipients"], server.Envelope(1)["rcpt_tos"]);
  EXPECT_EQ(envelope["recipients"].size(), 4u);

  const std::string received = test::ReadFileBytes(server.WaitForMessage(1));
  EXPECT_EQ(WithoutDateIdAndBoundaries(test::ReadFileBytes(eml)), WithoutDateIdAndBoundaries(received));
  // What a mail reader sees in the file is what it sees in the delivered message.
  json fromFile = test::SummarizeMessage(eml, dir_.Path() / "file-parts");
  json fromServer = test::SummarizeMessage(server.WaitForMessage(1), dir_.Path() / "server-parts");
  EXPECT_EQ(fromFile["defects"], json::array());
  ASSERT_EQ(fromFile["attachments"].size(), 2u);
  for (json* m : {&fromFile, &fromServer}) {
    m->erase("date");
    for (auto& a : (*m)["attachments"]) a["file"] = test::ReadFileBytes(a["file"].get<std::string>());
  }
  EXPECT_EQ(fromFile, fromServer);
  EXPECT_EQ(fromFile["attachments"][1]["file"], test::ReadFileBytes(pdf));
  EXPECT_EQ(TempFilesLeft(), 0u);
}

TEST_F(EqhostTest, RunAnswersEachCallWithOneJsonLine) {
  TSmtpServerProcess server;
  const std::string logo = dir_.Write("logo.gif", "GIF89a\x01\x00\x01\x00");
  const std::string calls = R"({"method": "Init", "params": [{"manager": true}, null]}
{"method": "Open", "params": ["DEV7", null]}
{"method": "SetSettings", "in": [{"array2": [["SmtpServerName", "SmtpServerPort", "SmtpServerUser", "SmtpServerPassword", "UserEmail"], ["localhost", ")" +
                            std::to_string(server.Port()) + R"(", ")" + TSmtpServerOptions{}.User + R"(", ")" +
                            TSmtpServerOptions{}.Password + R"(", "robot@example.test"]]}]}
{"method": "AddRecepient", "in": ["early@example.test"]}
{"method": "Enable", "in": null, "timeout": 0}
{"method": "AddRecepient", "in": ["to@example.test"]}
{"method": "AddCcRecepient", "in": ["cc@example.test"]}
{"method": "AddBccRecepient", "in": ["bcc@example.test"]}
{"method": "AddAttachment", "in": [")" + logo + R"(", "image/gif", "logo"]}
{"method": "AddAttachmentBase64", "in": ["заметка.txt", "0J/RgNC40LLQtdGC\r\n", "", ""]}

{"method": "SendMail", "in": [null, null, null, "Проверка связи", "<p>Привет <img src=\"cid:logo\"></p>", null]}
{"method": "Fly", "in": []}
{"method": "Disable", "timeout": 30.5}
this is no call
{"method": "GetDeviceInfo"}
{"method": "Close"}
)";
  const TRun run = Eqhost({"run"}, calls);
  EXPECT_EQ(run.Exit, 2) << run.Err;  // one line was no call
  const auto lines = run.Lines();
  ASSERT_EQ(lines.size(), 16u) << run.Out;
  EXPECT_EQ(lines[0], json::parse(R"({"method":"Init","result":true,"params":[{"manager":true},"Нет ошибок"]})"));
  EXPECT_EQ(lines[1], json::parse(R"({"method":"Open","result":true,"params":["DEV7","Нет ошибок"]})"));
  EXPECT_EQ(lines[2], json::parse(R"({"method":"SetSettings","result":true,"out":null})"));
  EXPECT_EQ(lines[3], json::parse(R"({"method":"AddRecepient","result":false,"out":[70,"Устройство не включено"]})"));
  EXPECT_EQ(lines[4], json::parse(R"({"method":"Enable","result":true,"out":null})"));
  EXPECT_EQ(lines[10], json::parse(R"({"method":"SendMail","result":true,"out":null})"));
  EXPECT_EQ(lines[11]["exception"], "неизвестный метод Fly");
  EXPECT_EQ(lines[12]["exception"], "вызов отклонен, HRESULT 0x80070057");  // TimeOut must be an integer
  EXPECT_EQ(lines[13]["line"], 15);
  EXPECT_EQ(lines[14]["out"][0], "FastPaymentSystem");
  EXPECT_EQ(lines[15], json::parse(R"({"method":"Close","result":true,"params":[]})"));

  EXPECT_EQ(server.Envelope(1)["rcpt_tos"], json::array({"to@example.test", "cc@example.test", "bcc@example.test"}));
  const json m = test::SummarizeMessage(server.WaitForMessage(1), dir_.Path() / "parts");
  EXPECT_EQ(m["subject"], "Проверка связи");
  EXPECT_EQ(m["to"], "to@example.test");
  EXPECT_EQ(m["cc"], "cc@example.test");
  EXPECT_EQ(m["html"], "<p>Привет <img src=\"cid:logo\"></p>");
  ASSERT_EQ(m["attachments"].size(), 2u);
  EXPECT_EQ(m["attachments"][0]["content_id"], "logo");
  EXPECT_EQ(m["attachments"][1]["filename"], "заметка.txt");
  EXPECT_EQ(test::ReadFileBytes(m["attachments"][1]["file"].get<std::string>()), "Привет");
  EXPECT_EQ(TempFilesLeft(), 0u);
}

// A line nested far too deep is refused as no call, with the exit code of a bad line.
TEST_F(EqhostTest, RunRefusesALineNestedTooDeeply) {
  const int depth = 100000;
  const TRun run = Eqhost({"run"}, R"({"method": "GetDeviceInfo", "in": )" + std::string(depth, '[') +
                                       std::string(depth, ']') + "}\n" + R"({"method": "GetDeviceInfo"})" + "\n");
  EXPECT_EQ(run.Exit, 2) << run.Err;
  const auto lines = run.Lines();
  ASSERT_EQ(lines.size(), 2u) << run.Out;
  EXPECT_EQ(lines[0]["line"], 1);
  EXPECT_NE(lines[0]["error"].get<std::string>().find("строка не является вызовом"), std::string::npos);
  EXPECT_EQ(lines[1]["result"], true);
}

TEST_F(EqhostTest, RunRepeatsARefusedSendWithTheSameLists) {
  TSmtpServerOptions options;
  options.RefuseFirst = 1;
  TSmtpServerProcess server(options);
  const std::string send =
      R"({"method": "SendMail", "in": [null, null, null, "Повтор", "<p>x</p>", null]})";
  const std::string calls = R"({"method": "Init", "params": [{"manager": true}]}
{"method": "Open", "params": ["DEV1"]}
{"method": "SetSettings", "in": [{"array2": [["SmtpServerName", "SmtpServerPort", "SmtpServerUser", "SmtpServerPassword", "UserEmail"], ["127.0.0.1", ")" +
                            std::to_string(server.Port()) + R"(", ")" + TSmtpServerOptions{}.User + R"(", ")" +
                            TSmtpServerOptions{}.Password + R"(", "robot@example.test"]]}]}
{"method": "Enable"}
{"method": "AddRecepient", "in": ["to@example.test"]}
{"method": "AddBccRecepient", "in": ["bcc@example.test"]}
{"method": "AddAttachmentBase64", "in": ["a.bin", "AAECAw==", "", ""]}
)" + send + "\n" + send + "\n";
  // The calls come from a file this time.
  const TRun run = Eqhost({"run", dir_.Write("calls.jsonl", calls)});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  const auto lines = run.Lines();
  ASSERT_EQ(lines.size(), 9u) << run.Out;
  EXPECT_EQ(lines[7]["result"], false);
  EXPECT_EQ(lines[7]["out"][0], 1001);
  EXPECT_NE(lines[7]["out"][1].get<std::string>().find("Try again later"), std::string::npos) << lines[7];
  EXPECT_EQ(lines[8], json::parse(R"({"method":"SendMail","result":true,"out":null})"));

  EXPECT_EQ(server.MessageCount(), 1);
  EXPECT_EQ(server.Envelope(1)["rcpt_tos"], json::array({"to@example.test", "bcc@example.test"}));
  const json m = test::SummarizeMessage(server.WaitForMessage(1), dir_.Path() / "parts");
  ASSERT_EQ(m["attachments"].size(), 1u);
  EXPECT_EQ(test::ReadFileBytes(m["attachments"][0]["file"].get<std::string>()), std::string("\0\1\2\3", 4));
  EXPECT_EQ(TempFilesLeft(), 0u);
}

TEST_F(EqhostTest, CommandsReportFailuresWithMethodCodeAndDescription) {
  const std::string noUser = dir_.Write("no-user.json", R"({"SmtpServerName": "127.0.0.1", "SmtpServerPort": "1"})");
  const std::string closedPort = dir_.Write(
      "closed.json",
      R"({"SmtpServerName": "127.0.0.1", "SmtpServerPort": "1", "SmtpServerUser": "u", "SmtpServerPassword": "p", "UserEmail": "r@example.test"})");
  const std::string file = dir_.Write("a.txt", "a");
  struct Case {
    std::vector<std::string> args;
    int exit;
    std::string err;  // the start of standard error
  } cases[] = {
      {{"check", "--settings", noUser}, 1, "eqhost: Enable: 1001 Не задан SMTP пользователь\n"},
      {{"check", "--settings", noUser, "--set", "SmtpServerUser=u", "--set", "smtpserverpassword=p", "--set",
        "UserEmail=r@example.test"},
       0, ""},
      {{"send", "--settings", closedPort, "--to", "a@example.test", "--subject", "S"}, 1, "eqhost: SendMail: 1001 "},
      {{"send", "--settings", closedPort, "--to", "a@example.test", "--attach-base64", "../up.txt," + file}, 1,
       "eqhost: AddAttachmentBase64: 1004 Недопустимое имя файла вложения: \"../up.txt\""},
      {{"send", "--settings", closedPort, "--to", "a@example.test"}, 1,
       "eqhost: SendMail: 1001 Тема уведомления не может быть пустой\n"},
      {{"send", "--settings", dir_.File("missing.json"), "--to", "a@example.test"}, 2, "eqhost: не удалось прочитать"},
      {{"send", "--settings", closedPort, "--set", "SmtpPort=25", "--to", "a@example.test"}, 2,
       "eqhost: неизвестная настройка: SmtpPort\n"},
      {{"send", "--settings", closedPort, "--set", "DebugLogEnabled=maybe", "--to", "a@example.test"}, 2,
       "eqhost: недопустимое значение настройки DebugLogEnabled=maybe\n"},
      {{"send", "--settings", closedPort, "--to", "a@example.test", "--body-file", dir_.File("none.html")}, 2,
       "eqhost: не удалось прочитать"},
      {{"send", "--settings", closedPort, "--to", "a@example.test", "--subject", "S", "--dry-run", file + "/x.eml"},
       2, "eqhost: не удалось записать файл"},
      {{"send", "--settings", closedPort, "--to", "a@example.test", "--dry-run", dir_.File("x.eml")}, 1,
       "eqhost: SendMail: 1001 Тема уведомления не может быть пустой\n"},
      {{}, 2, ""},
  };
  for (const Case& c : cases) {
    const TRun run = Eqhost(c.args);
    const std::string what = c.args.empty() ? "(no arguments)" : c.args[0] + " " + c.args.back();
    EXPECT_EQ(run.Exit, c.exit) << what << "\n" << run.Err;
    EXPECT_EQ(run.Err.rfind(c.err, 0), 0u) << what << "\n" << run.Err;
  }
  EXPECT_EQ(TempFilesLeft(), 0u);
}

TEST_F(EqhostTest, CheckConnectLogsInWithoutSending) {
  TSmtpServerProcess server;
  const std::string settings = SettingsFor(server);
  struct Case {
    std::vector<std::string> sets;
    int exit;
    std::string out;
    std::string err;  // the start of standard error
  } cases[] = {
      {{}, 0, "CheckHealth: OK\nTestConnection: OK\n", ""},
      {{"SmtpServerPassword=wrong"}, 1, "CheckHealth: OK\n",
       "eqhost: TestConnection: Авторизация LOGIN: сервер не принял имя пользователя или пароль. Проверьте имя "
       "пользователя и пароль; многие почтовые службы требуют отдельный пароль приложения. Ответ сервера: 5.7.8 "
       "Authentication credentials invalid\n"},
      {{"SmtpServerName=127.0.0.1", "SmtpServerPort=1"}, 1, "CheckHealth: OK\n",
       "eqhost: TestConnection: Подключение к 127.0.0.1:1: сервер отказал в соединении, на этом порту почту не "
       "принимают. Проверьте порт: почтовые службы принимают письма на порту 587 с защитой «STARTTLS» или 465 с "
       "«SSL/TLS»."},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"check", "--connect", "--settings", settings};
    for (const auto& s : c.sets) args.insert(args.end(), {"--set", s});
    const TRun run = Eqhost(args);
    EXPECT_EQ(run.Exit, c.exit) << run.Err;
    EXPECT_EQ(run.Out, c.out);
    EXPECT_EQ(run.Err.rfind(c.err, 0), 0u) << run.Err;
  }
  EXPECT_EQ(server.MessageCount(), 0);
}

TEST_F(EqhostTest, VerboseShowsTheSmtpDialogueWithTheLoginMasked) {
  TSmtpServerProcess server;
  const TSmtpServerOptions options;
  const std::string settings = SettingsFor(server);
  const std::string login = "eqhost: smtp C: AUTH LOGIN\neqhost: smtp S: 334 ";
  const std::string user = "\neqhost: smtp C: ********\neqhost: smtp S: 334 ";
  const std::string password = "\neqhost: smtp C: ********\neqhost: smtp S: 235 ";
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> shown;  // in this order on standard error
  } cases[] = {
      {{"send", "-v", "--settings", settings, "--to", "buyer@example.test", "--subject", "Заказ marker-subject",
        "--body", "marker-body"},
       {"eqhost: <- ", "eqhost: smtp S: 220 ", "eqhost: smtp C: STARTTLS\neqhost: smtp S: 220 ", login, user, password,
        "eqhost: smtp C: MAIL FROM:<notify@example.test>\neqhost: smtp S: 250 ",
        "eqhost: smtp C: RCPT TO:<buyer@example.test>\neqhost: smtp S: 250 ", "eqhost: smtp C: DATA\n",
        "eqhost: smtp C: . (письмо, байт: ", "eqhost: smtp S: 250 2.0.0 Message accepted for delivery\n",
        "eqhost: smtp C: QUIT\neqhost: smtp S: 221 "}},
      {{"check", "--connect", "--verbose", "--settings", settings},
       {"eqhost: smtp S: 220 ", login, user, password, "eqhost: smtp C: QUIT\neqhost: smtp S: 221 "}},
  };
  std::vector<std::string> errs;
  for (const Case& c : cases) {
    const TRun run = Eqhost(c.args);
    ASSERT_EQ(run.Exit, 0) << run.Err;
    std::size_t at = 0;
    for (const std::string& part : c.shown) {
      const std::size_t found = run.Err.find(part, at);
      ASSERT_NE(found, std::string::npos) << part << "\nafter " << at << " in\n" << run.Err;
      at = found + part.size();
    }
    for (const std::string& hidden : {Base64Encode(options.User), Base64Encode(options.Password), options.Password,
                                      std::string("marker-")})
      EXPECT_EQ(run.Err.find(hidden), std::string::npos) << hidden;
    errs.push_back(run.Err);
  }
  // The size shown is that of the message the server received.
  const std::string eml = test::ReadFileBytes(server.WaitForMessage(1));
  EXPECT_NE(errs[0].find("eqhost: smtp C: . (письмо, байт: " + std::to_string(eml.size()) + ")\n"), std::string::npos);
  EXPECT_EQ(server.MessageCount(), 1);
}

TEST_F(EqhostTest, SettingsAndInfoShowWhatTheDriverReports) {
  const std::string file = dir_.Write("s.json", R"({"SmtpServerPort": "2525", "DebugLogEnabled": true})");
  TRun run = Eqhost({"settings", "--settings", file, "--set", "Subject=Тема из строки", "--json"});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  const json rows = json::parse(run.Out);
  ASSERT_EQ(rows.size(), 25u);
  EXPECT_EQ(rows[2], json::parse(R"({"id":"DebugLogEnabled","value":true,"type":"Boolean","default":false,
      "readOnly":false,"name":"Отладочный лог","description":"Если равно True, ведется отладочный лог"})"));
  EXPECT_EQ(rows[4]["value"], "2525");
  EXPECT_EQ(rows[4]["default"], "587");
  EXPECT_EQ(rows[8]["value"], "Тема из строки");

  run = Eqhost({"settings"});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  // One row per setting, columns lined up: ID, value, type, default, read-only, name.
  std::istringstream table(run.Out);
  std::vector<std::string> lines;
  std::vector<std::vector<std::string>> cells;
  for (std::string line; std::getline(table, line);) {
    std::istringstream words(line);
    lines.push_back(line);
    cells.emplace_back(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>());
  }
  ASSERT_EQ(cells.size(), 26u) << run.Out;
  EXPECT_EQ(cells[5], (std::vector<std::string>{"SmtpServerPort", "587", "String", "587", "False", "SMTP", "порт"}));
  EXPECT_EQ(lines[4].find("smtp.yandex.ru"), lines[5].find("587")) << run.Out;

  run = Eqhost({"info"});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  EXPECT_NE(run.Out.find("ModelName: Корвента: клиент электронной почты\n"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("IsSettingsDlgExist: False\n"), std::string::npos) << run.Out;
  run = Eqhost({"info", "--json"});
  EXPECT_EQ(json::parse(run.Out)["TypeName"], "FastPaymentSystem");
}


// ---- a machine shared by several users ----

// Runs a shell command as "nobody" with $1 set to `arg`; its exit status.
int AsNobody(const std::string& command, const std::string& arg) {
  const std::string line = "setpriv --reuid=65534 --regid=65534 --clear-groups sh -c " + ShellQuote(command) + " sh " +
                           ShellQuote(arg) + " 2>/dev/null";
  return std::system(line.c_str());
}

// Today's and tomorrow's dates as the log files are named, so that what a test plants
// is met whenever the driver runs.
std::vector<std::string> TodayAndTomorrow() {
  std::vector<std::string> days;
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  ::localtime_r(&now, &t);
  for (int i = 0; i < 2; ++i) {
    std::tm day = t;
    day.tm_mday += i;
    day.tm_hour = 12;
    day.tm_isdst = -1;
    std::mktime(&day);
    char text[16];
    std::strftime(text, sizeof text, "%Y.%m.%d", &day);
    days.push_back(text);
  }
  return days;
}

// The day's files of both logs for the dates above.
std::vector<fs::path> DayFiles(const fs::path& trace, const fs::path& events) {
  std::vector<fs::path> files;
  for (const std::string& day : TodayAndTomorrow()) {
    files.push_back(trace / ("Debug_" + day + ".log"));
    files.push_back(events / ("vlm_dodezoz41_" + day + ".log"));
  }
  return files;
}

struct stat StatusOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
  return st;
}

// The text of the files in the folder whose names hold `part`.
std::string FilesHolding(const fs::path& folder, const std::string& part) {
  std::string text;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().find(part) != std::string::npos) text += test::ReadFileBytes(e.path());
  return text;
}

TEST_F(EqhostTest, TwoUsersOfOneMachineKeepTheirOwnLogFiles) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  const std::string settings = TracedSettings();
  TRun run = Eqhost({"check", "--connect", "--settings", settings});
  ASSERT_EQ(run.Err.rfind(kRefusedConnection, 0), 0u) << run.Err;
  // The first user's files of the day, for tomorrow too, so the second user meets them
  // whenever it runs.
  for (const fs::path& file : DayFiles(TraceFolder(), EventLogFolder())) {
    std::ofstream{file, std::ios::app};
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  }

  run = EqhostAsNobody({"check", "--connect", "--settings", settings});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(run.Err.rfind(kRefusedConnection, 0), 0u) << run.Err;  // no file error stops it
  // Every file is its owner's only; the second user's lines are in files named after it.
  int nobodysFiles = 0;
  for (const fs::path& folder : {TraceFolder(), EventLogFolder()})
    for (const auto& e : fs::directory_iterator(folder)) {
      const struct stat st = StatusOf(e.path());
      const bool nobodys = e.path().filename().string().find(".nobody.") != std::string::npos;
      EXPECT_TRUE(S_ISREG(st.st_mode)) << e.path();
      EXPECT_EQ(st.st_mode & 07777, 0600u) << e.path();
      EXPECT_EQ(st.st_uid, nobodys ? 65534u : 0u) << e.path();
      nobodysFiles += nobodys;
    }
  EXPECT_GE(nobodysFiles, 2);
  EXPECT_NE(FilesHolding(TraceFolder(), ".nobody.").find("CheckHealth"), std::string::npos);
  // The second user's event log says why its lines are where they are.
  const std::string events = FilesHolding(EventLogFolder(), ".nobody.");
  EXPECT_NE(events.find("\tERROR\tTDevice: "), std::string::npos) << events;
  for (const std::string& note :
       {"\tINFO\tWriteDebugLog: \tФайл журнала нельзя безопасно дополнить '" + TraceFolder().string() + "/Debug_",
        "\tINFO\tWriteEventLog: \tФайл журнала нельзя безопасно дополнить '" + EventLogFolder().string() + "/"})
    EXPECT_NE(events.find(note), std::string::npos) << note << "\n" << events;
}

TEST_F(EqhostTest, FilesAnotherUserPlantsInTheLogFoldersNeverStopACall) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  const std::string settings = TracedSettings();
  const std::string secret = dir_.Write("secret.txt", "TOP SECRET");
  fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  const struct {
    const char* what;
    std::string plant;  // run as nobody with $1 the day's file
    std::function<bool(const fs::path&)> untouched;
  } cases[] = {
      {"a link to a file only root may write", "ln -s " + ShellQuote(secret) + " \"$1\"",
       [](const fs::path& p) { return fs::is_symlink(p); }},
      {"a pipe", "mkfifo -m 666 \"$1\"", [](const fs::path& p) { return fs::is_fifo(fs::symlink_status(p)); }},
      {"a folder", "mkdir -m 777 \"$1\"", [](const fs::path& p) { return fs::is_directory(p) && fs::is_empty(p); }},
      {"a file of its own that anybody may write", "echo theirs >\"$1\" && chmod 666 \"$1\"",
       [](const fs::path& p) { return test::ReadFileBytes(p) == "theirs\n"; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // The folders as the first run on the machine leaves them, without the day's files.
    fs::remove_all(dir_.Path() / "data");
    Eqhost({"check", "--connect", "--settings", settings});
    for (const fs::path& folder : {TraceFolder(), EventLogFolder()})
      for (const auto& e : fs::directory_iterator(folder)) fs::remove(e.path());
    for (const fs::path& file : DayFiles(TraceFolder(), EventLogFolder()))
      ASSERT_EQ(AsNobody(c.plant, file.string()), 0) << file;

    const TRun run = Eqhost({"check", "--connect", "--settings", settings});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Err.rfind(kRefusedConnection, 0), 0u) << run.Err;
    EXPECT_EQ(test::ReadFileBytes(secret), "TOP SECRET");
    for (const fs::path& file : DayFiles(TraceFolder(), EventLogFolder())) EXPECT_TRUE(c.untouched(file)) << file;
    // The lines went to root's own files beside them, and its event log says so.
    EXPECT_NE(FilesHolding(TraceFolder(), ".root.").find("CheckHealth"), std::string::npos);
    const std::string events = FilesHolding(EventLogFolder(), ".root.");
    EXPECT_NE(events.find("\tERROR\tTDevice: "), std::string::npos) << events;
    EXPECT_NE(events.find("\tINFO\tWriteDebugLog: \tФайл журнала нельзя безопасно дополнить"), std::string::npos)
        << events;
  }
}

TEST_F(EqhostTest, ALogFolderIsNeverReachedThroughALinkNorOpenedUpWhenItExisted) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  const std::string settings = TracedSettings();
  const fs::path data = dir_.Path() / "data";
  const fs::path secret = dir_.Path() / "secret";  // a folder only root may enter
  const std::string refusedFolder = "eqhost: Enable: 1001 Не удалось открыть папку журнала '" +
                                    TraceFolder().string() + "/': на месте папки или файла стоит символическая ссылка";
  const struct {
    const char* what;
    std::string plant;  // run as nobody in the shared data folder
    std::vector<std::string> args;
    std::string err;  // the start of standard error
  } cases[] = {
      {"the call trace folder", "ln -s " + ShellQuote(secret.string()) + " vlm_dodezoz41",
       {"check", "--settings", settings}, refusedFolder},
      {"the company folder of the event log", "ln -s " + ShellQuote(secret.string()) + " Korventa",
       {"check", "--connect", "--settings", settings}, kRefusedConnection},
      {"the event log folder", "mkdir -m 777 Korventa && ln -s " + ShellQuote(secret.string()) + " Korventa/vlm_dodezoz41",
       {"check", "--connect", "--settings", settings}, kRefusedConnection},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(data);
    fs::remove_all(secret);
    fs::create_directories(data);
    fs::create_directories(secret);
    fs::permissions(data, fs::perms::all | fs::perms::sticky_bit);  // shared as /tmp is
    fs::permissions(secret, fs::perms::owner_all);
    ASSERT_EQ(AsNobody("cd \"$1\" && " + c.plant, data.string()), 0);
    const TRun run = Eqhost(c.args);
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Err.rfind(c.err, 0), 0u) << run.Err;
    EXPECT_EQ(StatusOf(secret).st_mode & 07777, 0700u);
    EXPECT_TRUE(fs::is_empty(secret));
  }

  // A folder another user made is used as it is: never opened to everyone.
  fs::remove_all(data / "vlm_dodezoz41");
  ASSERT_EQ(AsNobody("mkdir -m 755 \"$1\"", TraceFolder().string()), 0);
  const TRun run = Eqhost({"check", "--settings", settings});
  EXPECT_EQ(run.Exit, 0) << run.Err;
  EXPECT_EQ(StatusOf(TraceFolder()).st_mode & 07777, 0755u);
  EXPECT_EQ(StatusOf(TraceFolder()).st_uid, 65534u);
}

TEST_F(EqhostTest, DryRunWritesANewFileOnlyItsOwnerMayRead) {
  const std::string settings =
      Readable("closed.json", R"({"SmtpServerName": "127.0.0.1", "SmtpServerPort": "1", "SmtpServerUser": "u",
          "SmtpServerPassword": "p", "UserEmail": "r@example.test"})");
  const auto dryRun = [&](const std::string& file, bool force) {
    std::vector<std::string> args = {"send", "--settings", settings, "--to", "a@example.test", "--subject", "S",
                                     "--dry-run", file};
    if (force) args.push_back("--force");
    return Eqhost(args);
  };
  const std::string eml = dir_.File("out.eml");
  TRun run = dryRun(eml, false);
  ASSERT_EQ(run.Exit, 0) << run.Err;
  EXPECT_EQ(StatusOf(eml).st_mode & 07777, 0600u);
  { std::ofstream(eml, std::ios::trunc) << "kept"; }
  run = dryRun(eml, false);  // a file that is there stays as it is
  EXPECT_EQ(run.Exit, 2);
  EXPECT_EQ(run.Err, "eqhost: не удалось записать файл " + eml + ": файл уже существует (--force заменяет его)\n");
  EXPECT_EQ(test::ReadFileBytes(eml), "kept");
  run = dryRun(eml, true);
  ASSERT_EQ(run.Exit, 0) << run.Err;
  EXPECT_NE(test::ReadFileBytes(eml).find("Subject: S\r\n"), std::string::npos);
  EXPECT_EQ(StatusOf(eml).st_mode & 07777, 0600u);

  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  // Another user's link in a shared folder, to a file only root may write.
  const fs::path shared = dir_.Path() / "shared";
  fs::create_directories(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  const std::string secret = dir_.Write("secret.txt", "TOP SECRET");
  fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  const fs::path planted = shared / "out.eml";
  ASSERT_EQ(AsNobody("ln -s " + ShellQuote(secret) + " \"$1\"", planted.string()), 0);
  run = dryRun(planted.string(), false);
  EXPECT_EQ(run.Exit, 2);
  EXPECT_TRUE(fs::is_symlink(planted));
  run = dryRun(planted.string(), true);  // the link itself is replaced
  EXPECT_EQ(run.Exit, 0) << run.Err;
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(planted)));
  EXPECT_EQ(StatusOf(planted).st_uid, 0u);
  EXPECT_EQ(test::ReadFileBytes(secret), "TOP SECRET");
  EXPECT_EQ(std::distance(fs::directory_iterator(shared), fs::directory_iterator()), 1);  // no temporary left
}

TEST_F(EqhostTest, SettingsHideThePasswordAndErrorsNeverRepeatIt) {
  const std::string secret = "s3cret-marker";
  TRun run = Eqhost({"settings", "--set", "SmtpServerPassword=" + secret});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  EXPECT_EQ(run.Out.find(secret), std::string::npos);
  EXPECT_TRUE(std::regex_search(run.Out, std::regex("\nSmtpServerPassword +\\*{8} "))) << run.Out;
  const auto passwordRow = [](const std::string& out) {
    for (const json& row : json::parse(out))
      if (row["id"] == "SmtpServerPassword") return row;
    return json();
  };
  run = Eqhost({"settings", "--json", "--set", "SmtpServerPassword=" + secret});
  EXPECT_EQ(passwordRow(run.Out)["value"], "********");
  EXPECT_EQ(passwordRow(run.Out)["default"], "");  // an empty one shows as empty
  run = Eqhost({"settings", "--json", "--show-secrets", "--set", "SmtpServerPassword=" + secret});
  EXPECT_EQ(passwordRow(run.Out)["value"], secret);

  // Settings files that are no good, each for a password.
  for (const std::string value : {R"({"x": "s3cret-marker"})", R"("s3cret-marker\q")", R"(s3cret-marker)",
                                   R"(["s3cret-marker", {"y": 1}])", R"("s3cret-marker)"}) {
    const std::string file = dir_.Write("bad.json", R"({"SmtpServerPassword": )" + value + "}");
    run = Eqhost({"settings", "--settings", file});
    EXPECT_EQ(run.Exit, 2) << value;
    EXPECT_EQ(run.Err.rfind("eqhost: ", 0), 0u) << run.Err;
    EXPECT_EQ(run.Err.find("marker"), std::string::npos) << run.Err;
  }
  run = Eqhost({"settings", "--set", "=" + secret});
  EXPECT_EQ(run.Exit, 2);
  EXPECT_EQ(run.Err.find("marker"), std::string::npos) << run.Err;
}

TEST_F(EqhostTest, APasswordCanComeFromAFileOrStandardInput) {
  TSmtpServerProcess server;
  json settings = json::parse(test::ReadFileBytes(SettingsFor(server)));
  settings["SmtpServerPassword"] = "wrong";
  const std::string wrong = dir_.Write("wrong.json", settings.dump());
  const std::string password = TSmtpServerOptions{}.Password;
  const std::string file = dir_.Write("password.txt", password + "\n");
  const struct {
    std::string from;
    std::string input;
    int exit;
    std::string out;
  } cases[] = {
      {file, "", 0, "CheckHealth: OK\nTestConnection: OK\n"},
      {"-", password + "\r\n", 0, "CheckHealth: OK\nTestConnection: OK\n"},
      {"-", password + "x", 1, "CheckHealth: OK\n"},
  };
  for (const auto& c : cases) {
    const TRun run =
        Eqhost({"check", "--connect", "--settings", wrong, "--set-from-file", "SmtpServerPassword=" + c.from}, c.input);
    EXPECT_EQ(run.Exit, c.exit) << c.from << "\n" << run.Err;
    EXPECT_EQ(run.Out, c.out) << c.from;
  }
  const TRun run = Eqhost({"check", "--settings", wrong, "--set-from-file", "SmtpServerPassword=" + dir_.File("none")});
  EXPECT_EQ(run.Exit, 2);
  EXPECT_EQ(run.Err, "eqhost: не удалось прочитать файл " + dir_.File("none") + "\n");
  EXPECT_EQ(server.MessageCount(), 0);
}

}  // namespace
}  // namespace eqd
