// Texts of connection security that the host or a user sees: the words the settings
// take, and what Enable says about a value it cannot read.
#pragma once

namespace eqd::security_texts {

// Values of SmtpSecurity and SmtpAuthMethod (the Latin ones are written in place).
inline constexpr const char* kAuto = "Авто";
inline constexpr const char* kNoEncryption = "Без шифрования";
inline constexpr const char* kNoAuthentication = "Без авторизации";

// Enable. %s: the setting's ID; %s: the text as given; %s: the values it takes.
inline constexpr const char* kBadChoice = "Неверное значение настройки %s: \"%s\". Допустимые значения: %s";
inline constexpr const char* kBooleanChoices = "True, False";
inline constexpr const char* kBadPin =
    "Неверный отпечаток ключа сертификата (SmtpCertificatePin): нужен SHA-256 открытого ключа (SPKI), "
    "64 шестнадцатеричные цифры или 44 знака Base64";

// The device test's report of a successful connection.
inline constexpr const char* kReportConnection = "Соединение: ";
inline constexpr const char* kReportPlain = "без шифрования";
inline constexpr const char* kReportVerified = "Сертификат проверен: ";
inline constexpr const char* kReportIssuedBy = ", выдан ";
inline constexpr const char* kReportPinned = "Ключ сертификата совпал с отпечатком: ";
inline constexpr const char* kReportNotVerified =
    "Сертификат не проверялся; SHA-256 его ключа (SPKI) для настройки «Отпечаток ключа»: ";
inline constexpr const char* kReportLogin = "Авторизация: ";
inline constexpr const char* kReportNoLogin = "не выполнялась";

}  // namespace eqd::security_texts
