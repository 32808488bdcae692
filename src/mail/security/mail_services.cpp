#include "mail/security/mail_services.h"

#include "automation/ascii_case.h"

namespace eqd {
namespace {

constexpr std::string_view kYandexDomains[] = {"yandex.ru", "yandex.com"};
constexpr std::string_view kMailRuDomains[] = {"mail.ru"};
constexpr std::string_view kGmailDomains[] = {"gmail.com", "googlemail.com"};
constexpr std::string_view kMicrosoftDomains[] = {"office365.com", "outlook.com"};
constexpr std::string_view kRamblerDomains[] = {"rambler.ru"};

// Each provider documents submission on 465 with implicit TLS, on 587 with STARTTLS, or
// both; where both are documented the one the provider lists first is taken. Every one
// of them announces AUTH LOGIN, so the method is set explicitly: a server that stops
// offering it fails with a clear text instead of a send without a login.
constexpr TMailServiceStruct kMailServices[] = {
    {"Яндекс Почта", "smtp.yandex.ru", 465, TSmtpSecurity::ssImplicitTls, TSmtpAuthMethod::amLogin,
     "нужен пароль приложения; включите доступ почтовых программ", kYandexDomains},
    {"Почта Mail.ru", "smtp.mail.ru", 465, TSmtpSecurity::ssImplicitTls, TSmtpAuthMethod::amLogin,
     "нужен пароль для внешнего приложения", kMailRuDomains},
    {"Gmail", "smtp.gmail.com", 587, TSmtpSecurity::ssStartTls, TSmtpAuthMethod::amLogin,
     "нужен пароль приложения (при двухэтапной аутентификации)", kGmailDomains},
    {"Microsoft 365 / Outlook.com", "smtp.office365.com", 587, TSmtpSecurity::ssStartTls, TSmtpAuthMethod::amLogin,
     "нужна включённая для ящика SMTP AUTH или вход через OAuth 2.0", kMicrosoftDomains},
    {"Рамблер/почта", "smtp.rambler.ru", 465, TSmtpSecurity::ssImplicitTls, TSmtpAuthMethod::amLogin,
     "включите в настройках почты доступ почтовых программ", kRamblerDomains},
};

bool HostInDomain(std::string_view host, std::string_view domain) {
  if (AsciiSameText(host, domain)) return true;
  return host.size() > domain.size() && host[host.size() - domain.size() - 1] == '.' &&
         AsciiSameText(host.substr(host.size() - domain.size()), domain);
}

}  // namespace

std::span<const TMailServiceStruct> MailServices() { return kMailServices; }

const TMailServiceStruct* MailServiceOfHost(std::string_view host) {
  while (!host.empty() && host.back() == '.') host.remove_suffix(1);  // a fully qualified name
  for (const TMailServiceStruct& service : kMailServices)
    for (const std::string_view domain : service.Domains)
      if (HostInDomain(host, domain)) return &service;
  return nullptr;
}

}  // namespace eqd
