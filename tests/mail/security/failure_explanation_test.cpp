// The explanation table: one row per class of failure, with the whole text the host gets
// (SendMail's description, the device test's error box, eqhost's message).
#include <gtest/gtest.h>

#include "mail/security/failure_explanation.h"

namespace eqd {
namespace {

using C = TSmtpFailureClass;
using std::chrono::sys_days;

TSmtpFailureStruct Failure(C cls, std::string text = "", bool fromServer = false, int code = 0) {
  TSmtpFailureStruct f;
  f.Class = cls;
  f.Text = std::move(text);
  f.FromServer = fromServer;
  f.ReplyCode = code;
  f.Host = "mail.example.test";
  f.Port = 587;
  f.Security = TSmtpSecurity::ssStartTls;
  f.TlsVersions = "TLS 1.2–1.3";
  return f;
}

TCertificateFactsStruct Certificate() {
  using namespace std::chrono;
  TCertificateFactsStruct c;
  c.Subject = "CN=mail.example.test";
  c.Issuer = "CN=Test CA";
  c.NotBefore = sys_days{year{2026} / 1 / 2} + hours{3} + minutes{4} + seconds{5};
  c.NotAfter = sys_days{year{2027} / 1 / 2};
  for (std::size_t i = 0; i < c.KeySha256.size(); ++i) c.KeySha256[i] = static_cast<std::uint8_t>(i);
  return c;
}

struct TCase {
  const char* name;
  TSmtpFailureStruct failure;
  const char* text;
};

// Filled in one place so that each row shows only what sets it apart.
std::vector<TCase> Cases();

TEST(FailureExplanation, EachClassSaysTheStepTheCauseAndWhatToDo) {
  for (const TCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExplainSmtpFailure(c.failure), c.text);
  }
}

// A refused OAuth 2.0 token is explained as a token, never as a password: Microsoft's
// known replies by their meaning, any other by where the token's mailbox and scope come from.
TEST(FailureExplanation, ARefusedTokenIsExplainedAsATokenNotAPassword) {
  struct TOAuthCase {
    const char* Method;
    const char* Reply;
    const char* Host;
    const char* Has;
  } cases[] = {
      {"XOAUTH2", "5.7.8 Authentication failed.", "mail.example.test", "ящик входа — SmtpServerUser"},
      {"OAUTHBEARER", "5.7.8 Authentication failed.", "smtp.gmail.com", "ящик входа — SmtpServerUser"},
      {"XOAUTH2", "5.7.139 Authentication unsuccessful, SmtpClientAuthentication is disabled for the Mailbox.",
       "smtp.office365.com", "SMTP AUTH отключён для этого почтового ящика"},
      {"XOAUTH2", "5.7.3 Authentication unsuccessful [AM0PR02CA0001.eurprd02.prod.outlook.com]",
       "smtp.office365.com", "у приложения нет прав на этот почтовый ящик"},
  };
  for (const TOAuthCase& c : cases) {
    SCOPED_TRACE(c.Reply);
    TSmtpFailureStruct f = Failure(C::fcLoginRefused, c.Reply, true, 535);
    f.AuthMethod = c.Method;
    f.Host = c.Host;
    const std::string text = ExplainSmtpFailure(f);
    EXPECT_EQ(text.rfind(std::string("Авторизация ") + c.Method + ": сервер не принял токен OAuth 2.0. ", 0), 0u) << text;
    EXPECT_NE(text.find(c.Has), std::string::npos) << text;
    EXPECT_EQ(text.find("пароль"), std::string::npos) << text;
    EXPECT_NE(text.find(std::string("Ответ сервера: ") + c.Reply), std::string::npos) << text;
  }
}

std::vector<TCase> Cases() {
  std::vector<TCase> cases;
  const auto add = [&](const char* name, TSmtpFailureStruct f, const char* text) {
    cases.push_back({name, std::move(f), text});
  };
  TSmtpFailureStruct f;

  f = Failure(C::fcNameNotFound, "Name or service not known");
  add("host name not found", f,
      "Подключение к SMTP-серверу: не найден адрес сервера mail.example.test. Проверьте имя в "
      "настройке «Сервер» и доступ компьютера к DNS. Name or service not known");
  f = Failure(C::fcConnectRefused, "Connection refused");
  add("connection refused", f,
      "Подключение к mail.example.test:587: сервер отказал в соединении, на этом порту почту не "
      "принимают. Проверьте порт: почтовые службы принимают письма на порту 587 с защитой «STARTTLS» "
      "или 465 с «SSL/TLS». Connection refused");
  f = Failure(C::fcConnectTimedOut);
  add("no answer", f,
      "Подключение к mail.example.test:587: нет ответа на этом порту. Провайдеры и сети часто "
      "закрывают порт 25; обычно используют 587 с защитой «STARTTLS» или 465 с «SSL/TLS». Проверьте "
      "также брандмауэр.");
  f.Security = TSmtpSecurity::ssAuto;
  f.Port = 25;
  add("no answer on 25 in the old mode, where 465 goes", f,
      "Подключение к mail.example.test:25: нет ответа на этом порту. С защитой «Авто» порт 465 "
      "заменяется на 25, который провайдеры часто закрывают: для порта 465 выберите «SSL/TLS», или "
      "укажите 587 с «STARTTLS».");
  f = Failure(C::fcNoGreeting);
  add("silence on a plain-text port", f,
      "Приветствие SMTP-сервера: сервер не прислал приветствие. Возможно, этот порт ожидает SSL/TLS с "
      "первого байта (как 465): выберите защиту «SSL/TLS».");
  f = Failure(C::fcPlainOnTlsPort);
  f.Security = TSmtpSecurity::ssImplicitTls;
  add("a plain greeting on an SSL/TLS port", f,
      "Подключение к mail.example.test:587: выбрана защита «SSL/TLS», а сервер ответил открытым "
      "текстом: этот порт ожидает STARTTLS или работает без шифрования. Выберите защиту «STARTTLS» "
      "для этого порта или укажите порт, где работает SSL/TLS (обычно 465).");
  f = Failure(C::fcTlsOnPlainPort);
  add("TLS bytes on a plain-text port", f,
      "Подключение к mail.example.test:587: сервер ответил по TLS, а соединение начато открытым "
      "текстом: этот порт ожидает SSL/TLS с первого байта. Выберите защиту «SSL/TLS» для этого порта.");
  f = Failure(C::fcTlsHandshake, "SSL negotiation failed.");
  add("handshake in a modern mode", f,
      "Установка TLS-соединения с mail.example.test: не удалось установить защищённое соединение "
      "(предложены TLS 1.2–1.3). Сервер не поддерживает TLS 1.2 и 1.3 или прервал соединение; с "
      "защитой «Авто» разрешены TLS 1.0–1.2 для старых серверов. SSL negotiation failed.");
  f.Security = TSmtpSecurity::ssAuto;
  f.TlsVersions = "TLS 1.0–1.2";
  add("handshake in the old mode", f,
      "Установка TLS-соединения с mail.example.test: не удалось установить защищённое соединение "
      "(предложены TLS 1.0–1.2). Сервер не поддерживает TLS 1.0–1.2 или прервал соединение. SSL "
      "negotiation failed.");
  f = Failure(C::fcCertUntrusted);
  f.Certificate = Certificate();
  add("untrusted issuer", f,
      "Проверка сертификата mail.example.test: сертификат выдан центром сертификации, которому "
      "система не доверяет, или самоподписан. Сертификат: субъект \"CN=mail.example.test\", издатель "
      "\"CN=Test CA\", действует с 2026-01-02 03:04:05 UTC по 2027-01-02 00:00:00 UTC, SHA-256 "
      "открытого ключа (SPKI): 000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f. "
      "Установите корневой сертификат центра в хранилище доверенных; для своего сервера с "
      "самоподписанным сертификатом укажите SHA-256 ключа в настройке «Отпечаток ключа».");
  f.Class = C::fcCertNameMismatch;
  add("name mismatch", f,
      "Проверка сертификата mail.example.test: сертификат выдан не на имя mail.example.test. "
      "Сертификат: субъект \"CN=mail.example.test\", издатель \"CN=Test CA\", действует с 2026-01-02 "
      "03:04:05 UTC по 2027-01-02 00:00:00 UTC, SHA-256 открытого ключа (SPKI): "
      "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f. Укажите в настройке «Сервер» "
      "имя, на которое выдан сертификат.");
  f.Class = C::fcCertExpired;
  add("expired", f,
      "Проверка сертификата mail.example.test: срок действия сертификата истёк. Сертификат: субъект "
      "\"CN=mail.example.test\", издатель \"CN=Test CA\", действует с 2026-01-02 03:04:05 UTC по "
      "2027-01-02 00:00:00 UTC, SHA-256 открытого ключа (SPKI): "
      "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f. Проверьте дату и время на "
      "компьютере; если они верны, сертификат сервера нужно обновить.");
  f.Class = C::fcCertNotYetValid;
  add("not yet valid", f,
      "Проверка сертификата mail.example.test: срок действия сертификата ещё не начался. Сертификат: "
      "субъект \"CN=mail.example.test\", издатель \"CN=Test CA\", действует с 2026-01-02 03:04:05 UTC "
      "по 2027-01-02 00:00:00 UTC, SHA-256 открытого ключа (SPKI): "
      "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f. Проверьте дату и время на "
      "компьютере; если они верны, сертификат сервера нужно обновить.");
  f.Class = C::fcCertPinMismatch;
  add("pin mismatch", f,
      "Проверка сертификата mail.example.test: открытый ключ сервера не совпадает с отпечатком из "
      "настройки «Отпечаток ключа». Сертификат: субъект \"CN=mail.example.test\", издатель \"CN=Test "
      "CA\", действует с 2026-01-02 03:04:05 UTC по 2027-01-02 00:00:00 UTC, SHA-256 открытого ключа "
      "(SPKI): 000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f. Если сертификат "
      "сервера заменили намеренно, укажите новый отпечаток; иначе соединение могли перехватить.");
  f = Failure(C::fcStartTlsNotOffered);
  add("STARTTLS required, not offered", f,
      "Переход на TLS (STARTTLS): сервер не предлагает STARTTLS, а выбрана обязательная защита "
      "«STARTTLS»; пароль и адреса не отправлены. Если сервер принимает SSL/TLS, выберите «SSL/TLS» и "
      "порт 465. Если сервер обычно предлагает STARTTLS, соединение могли перехватить.");
  f = Failure(C::fcStartTlsRefused, "Start SSL negotiation command failed.");
  add("STARTTLS refused", f,
      "Переход на TLS (STARTTLS): сервер отказался перейти на TLS. Попробуйте позже или выберите "
      "«SSL/TLS» и порт 465. Start SSL negotiation command failed.");
  f = Failure(C::fcAuthMethodNotOffered);
  f.AuthMethod = "PLAIN";
  f.Mechanisms = {"LOGIN", "XOAUTH2"};
  add("a method the server does not announce", f,
      "Авторизация PLAIN: сервер не предлагает этот способ авторизации; предлагает: LOGIN, XOAUTH2. "
      "Выберите в настройке «Авторизация» один из предложенных.");
  f.Mechanisms = {};
  f.Security = TSmtpSecurity::ssNone;
  add("no method at all on a plain connection", f,
      "Авторизация PLAIN: сервер не предлагает этот способ авторизации; предлагает: ничего. Многие "
      "серверы предлагают авторизацию только после STARTTLS: выберите защиту «STARTTLS» или «Авто».");
  f = Failure(C::fcLoginRefused, "5.7.8 Authentication credentials invalid", true, 535);
  f.AuthMethod = "LOGIN";
  add("login refused by an unknown server", f,
      "Авторизация LOGIN: сервер не принял имя пользователя или пароль. Проверьте имя пользователя и "
      "пароль; многие почтовые службы требуют отдельный пароль приложения. Ответ сервера: 5.7.8 "
      "Authentication credentials invalid");
  f.Host = "smtp.gmail.com";
  f.Text = "5.7.8 Username and Password not accepted. For more information, go to\r\n5.7.8  "
           "https://support.google.com/mail/?p=BadCredentials a1-20020a05 - gsmtp";
  add("Gmail wants an app password", f,
      "Авторизация LOGIN: сервер не принял имя пользователя или пароль. Gmail принимает только пароль "
      "приложения: включите двухэтапную аутентификацию в аккаунте Google, создайте пароль приложения "
      "и укажите его вместо обычного. Ответ сервера: 5.7.8 Username and Password not accepted. For "
      "more information, go to\r\n5.7.8  https://support.google.com/mail/?p=BadCredentials "
      "a1-20020a05 - gsmtp");
  f.Host = "smtp.yandex.ru";
  f.Text = "5.7.8 Error: authentication failed: Invalid user or password!";
  add("a preset service adds its own note", f,
      "Авторизация LOGIN: сервер не принял имя пользователя или пароль. Проверьте имя пользователя и "
      "пароль; многие почтовые службы требуют отдельный пароль приложения. Яндекс Почта: нужен пароль "
      "приложения; включите доступ почтовых программ. Ответ сервера: 5.7.8 Error: authentication failed: "
      "Invalid user or password!");
  f.Host = "smtp.office365.com";
  f.Text = "5.7.139 Authentication unsuccessful, SmtpClientAuthentication is disabled for the Tenant.";
  add("Microsoft 365 with SMTP AUTH off", f,
      "Авторизация LOGIN: сервер не принял имя пользователя или пароль. В Microsoft 365 для "
      "организации или этого ящика отключена отправка SMTP AUTH или базовая авторизация: "
      "администратору нужно включить «Authenticated SMTP» для ящика, иначе нужен вход через OAuth "
      "2.0. Ответ сервера: 5.7.139 Authentication unsuccessful, SmtpClientAuthentication is disabled "
      "for the Tenant.");
  f.Text = "5.7.3 Authentication unsuccessful [AM0PR01CA0001.eurprd01.prod.exchangelabs.com]";
  add("Microsoft 365 with basic authentication off", f,
      "Авторизация LOGIN: сервер не принял имя пользователя или пароль. В Microsoft 365 для "
      "организации или этого ящика отключена отправка SMTP AUTH или базовая авторизация: "
      "администратору нужно включить «Authenticated SMTP» для ящика, иначе нужен вход через OAuth "
      "2.0. Ответ сервера: 5.7.3 Authentication unsuccessful "
      "[AM0PR01CA0001.eurprd01.prod.exchangelabs.com]");
  f = Failure(C::fcLoginRefused, "5.7.0 Must issue a STARTTLS command first", true, 530);
  f.AuthMethod = "LOGIN";
  add("STARTTLS first", f,
      "Авторизация LOGIN: сервер не принял имя пользователя или пароль. Сервер требует сначала "
      "включить шифрование: выберите защиту «STARTTLS» или «SSL/TLS». Ответ сервера: 5.7.0 Must issue "
      "a STARTTLS command first");
  f = Failure(C::fcSenderRefused, "5.7.1 Sender address rejected: not owned by user robot@example.test", true, 553);
  add("sender not allowed", f,
      "Отправитель (MAIL FROM): сервер не принял адрес отправителя. Сервер не разрешает отправлять "
      "письма от этого адреса: укажите в «Email» адрес ящика, под которым выполняется вход, или "
      "разрешённый для него. Ответ сервера: 5.7.1 Sender address rejected: not owned by user "
      "robot@example.test");
  f = Failure(C::fcSenderRefused, "5.7.0 Authentication required", true, 530);
  add("sender refused for want of a login", f,
      "Отправитель (MAIL FROM): сервер не принял адрес отправителя. Сервер требует авторизацию: "
      "задайте пользователя и пароль и способ авторизации, отличный от «Без авторизации». Ответ "
      "сервера: 5.7.0 Authentication required");
  f = Failure(C::fcRecipientRefused, "5.1.1 <b@fault.test>: Recipient address rejected: User unknown", true, 550);
  f.Recipient = "b@fault.test";
  add("a recipient refused", f,
      "Получатель (RCPT TO): сервер не принял получателя b@fault.test. Проверьте адрес; письмо не "
      "отправлено никому. Ответ сервера: 5.1.1 <b@fault.test>: Recipient address rejected: User "
      "unknown");
  f = Failure(C::fcMessageTooLarge, "5.3.4 Message size exceeds fixed maximum message size", true, 552);
  f.MessageSize = 31457280;
  f.SizeLimit = 26214400;
  add("message too large", f,
      "Передача письма: письмо слишком большое: 31457280 байт, сервер принимает до 26214400 байт. "
      "Уменьшите или уберите вложения. Ответ сервера: 5.3.4 Message size exceeds fixed maximum "
      "message size");
  f.SizeLimit = 0;
  add("message too large, the server announced no SIZE", f,
      "Передача письма: письмо слишком большое для сервера: 31457280 байт. Уменьшите или уберите вложения. Ответ "
      "сервера: 5.3.4 Message size exceeds fixed maximum message size");
  f.MessageSize = 0;
  add("message too large, refused before it was sent", f,
      "Передача письма: письмо слишком большое для сервера. Уменьшите или уберите вложения. Ответ сервера: 5.3.4 "
      "Message size exceeds fixed maximum message size");
  f = Failure(C::fcSenderRefused, "4.3.2 Please try again later", true, 451);
  add("a refusal for now", f,
      "Отправитель (MAIL FROM): сервер не принял адрес отправителя. Сервер отказал временно: повторите отправку "
      "позже. Ответ сервера: 4.3.2 Please try again later");
  f = Failure(C::fcMessageRefused, "5.6.0 Message content rejected", true, 554);
  add("message refused", f,
      "Передача письма: сервер не принял письмо. Ответ сервера: 5.6.0 Message content rejected");
  f = Failure(C::fcServerRefused, "5.7.1 Service unavailable; client host blocked", true, 554);
  add("greeting refused", f,
      "Приветствие SMTP-сервера: сервер отказался работать с этим клиентом. Ответ сервера: 5.7.1 "
      "Service unavailable; client host blocked");
  f = Failure(C::fcTimedOut, "Истекло время ожидания ответа SMTP-сервера");
  add("a time-out says enough itself", f,
      "Истекло время ожидания ответа SMTP-сервера");
  f = Failure(C::fcClosed, "SMTP-сервер закрыл соединение");
  add("so does a closed connection", f,
      "SMTP-сервер закрыл соединение");
  return cases;
}

}  // namespace
}  // namespace eqd
