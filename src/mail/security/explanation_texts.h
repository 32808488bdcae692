// The words of the failure explanations (failure_explanation.cpp puts them together).
// "{host}", "{port}" and the like are filled from the failure; the settings are named
// as the settings window labels them.
#pragma once

namespace eqd::explanation_texts {

// Steps.
inline constexpr const char* kStepConnect = "Подключение к SMTP-серверу";
inline constexpr const char* kStepConnectTo = "Подключение к {host}:{port}";
inline constexpr const char* kStepGreeting = "Приветствие SMTP-сервера";
inline constexpr const char* kStepTls = "Установка TLS-соединения с {host}";
inline constexpr const char* kStepCertificate = "Проверка сертификата {host}";
inline constexpr const char* kStepStartTls = "Переход на TLS (STARTTLS)";
inline constexpr const char* kStepAuth = "Авторизация {method}";
inline constexpr const char* kStepSender = "Отправитель (MAIL FROM)";
inline constexpr const char* kStepRecipient = "Получатель (RCPT TO)";
inline constexpr const char* kStepMessage = "Передача письма";

// Causes.
inline constexpr const char* kNameNotFound = "не найден адрес сервера {host}";
inline constexpr const char* kConnectRefused = "сервер отказал в соединении, на этом порту почту не принимают";
inline constexpr const char* kConnectTimedOut = "нет ответа на этом порту";
inline constexpr const char* kConnectFailed = "не удалось подключиться";
inline constexpr const char* kNoGreeting = "сервер не прислал приветствие";
inline constexpr const char* kPlainOnTlsPort =
    "выбрана защита «SSL/TLS», а сервер ответил открытым текстом: этот порт ожидает STARTTLS или работает "
    "без шифрования";
inline constexpr const char* kTlsOnPlainPort =
    "сервер ответил по TLS, а соединение начато открытым текстом: этот порт ожидает SSL/TLS с первого байта";
inline constexpr const char* kTlsHandshake = "не удалось установить защищённое соединение (предложены {versions})";
inline constexpr const char* kCertUntrusted =
    "сертификат выдан центром сертификации, которому система не доверяет, или самоподписан";
inline constexpr const char* kCertNameMismatch = "сертификат выдан не на имя {host}";
inline constexpr const char* kCertExpired = "срок действия сертификата истёк";
inline constexpr const char* kCertNotYetValid = "срок действия сертификата ещё не начался";
inline constexpr const char* kCertPinMismatch =
    "открытый ключ сервера не совпадает с отпечатком из настройки «Отпечаток ключа»";
inline constexpr const char* kCertRejected = "сертификат не прошёл проверку";
inline constexpr const char* kStartTlsNotOffered =
    "сервер не предлагает STARTTLS, а выбрана обязательная защита «STARTTLS»; пароль и адреса не отправлены";
inline constexpr const char* kStartTlsRefused = "сервер отказался перейти на TLS";
inline constexpr const char* kAuthMethodNotOffered =
    "сервер не предлагает этот способ авторизации; предлагает: {mechanisms}";
inline constexpr const char* kNoMechanisms = "ничего";
inline constexpr const char* kLoginRefused = "сервер не принял имя пользователя или пароль";
inline constexpr const char* kSenderRefused = "сервер не принял адрес отправителя";
inline constexpr const char* kRecipientRefused = "сервер не принял получателя {recipient}";
inline constexpr const char* kMessageTooLarge = "письмо слишком большое: {size} байт, сервер принимает до {limit} байт";
inline constexpr const char* kMessageTooLargeNoLimit = "письмо слишком большое для сервера: {size} байт";
inline constexpr const char* kMessageTooLargeBare = "письмо слишком большое для сервера";
inline constexpr const char* kMessageRefused = "сервер не принял письмо";
inline constexpr const char* kServerRefused = "сервер отказался работать с этим клиентом";

// The certificate, after the cause.
inline constexpr const char* kCertificate = "Сертификат: ";
inline constexpr const char* kCertSubject = "субъект \"";
inline constexpr const char* kCertIssuer = "\", издатель \"";
inline constexpr const char* kCertValidFrom = "\", действует с ";
inline constexpr const char* kCertValidTo = " по ";
inline constexpr const char* kCertKey = ", SHA-256 открытого ключа (SPKI): ";

// Advice.
inline constexpr const char* kAdviceCheckName =
    "Проверьте имя в настройке «Сервер» и доступ компьютера к DNS.";
inline constexpr const char* kAdviceUsualPorts =
    "Проверьте порт: почтовые службы принимают письма на порту 587 с защитой «STARTTLS» или 465 с «SSL/TLS».";
inline constexpr const char* kAdviceBlockedPort =
    "Провайдеры и сети часто закрывают порт 25; обычно используют 587 с защитой «STARTTLS» или 465 с «SSL/TLS». "
    "Проверьте также брандмауэр.";
inline constexpr const char* kAdviceAuto465 =
    "С защитой «Авто» порт 465 заменяется на 25, который провайдеры часто закрывают: для порта 465 выберите "
    "«SSL/TLS», или укажите 587 с «STARTTLS».";
inline constexpr const char* kAdviceCheckNetwork = "Проверьте имя сервера, порт и доступ к сети.";
inline constexpr const char* kAdviceMaybeImplicitTls =
    "Возможно, этот порт ожидает SSL/TLS с первого байта (как 465): выберите защиту «SSL/TLS».";
inline constexpr const char* kAdviceNoGreetingAfterTls = "Проверьте, что по этому порту работает SMTP.";
inline constexpr const char* kAdvicePlainPort =
    "Выберите защиту «STARTTLS» для этого порта или укажите порт, где работает SSL/TLS (обычно 465).";
inline constexpr const char* kAdviceTlsPort = "Выберите защиту «SSL/TLS» для этого порта.";
inline constexpr const char* kAdviceTlsVersions =
    "Сервер не поддерживает TLS 1.2 и 1.3 или прервал соединение; с защитой «Авто» разрешены TLS 1.0–1.2 "
    "для старых серверов.";
inline constexpr const char* kAdviceTlsAuto = "Сервер не поддерживает TLS 1.0–1.2 или прервал соединение.";
inline constexpr const char* kAdviceTrustOrPin =
    "Установите корневой сертификат центра в хранилище доверенных; для своего сервера с самоподписанным "
    "сертификатом укажите SHA-256 ключа в настройке «Отпечаток ключа».";
inline constexpr const char* kAdviceCertName =
    "Укажите в настройке «Сервер» имя, на которое выдан сертификат.";
inline constexpr const char* kAdviceCertDates =
    "Проверьте дату и время на компьютере; если они верны, сертификат сервера нужно обновить.";
inline constexpr const char* kAdvicePin =
    "Если сертификат сервера заменили намеренно, укажите новый отпечаток; иначе соединение могли перехватить.";
inline constexpr const char* kAdviceStartTlsMissing =
    "Если сервер принимает SSL/TLS, выберите «SSL/TLS» и порт 465. Если сервер обычно предлагает STARTTLS, "
    "соединение могли перехватить.";
inline constexpr const char* kAdviceStartTlsRefused = "Попробуйте позже или выберите «SSL/TLS» и порт 465.";
inline constexpr const char* kAdviceChooseMethod = "Выберите в настройке «Авторизация» один из предложенных.";
inline constexpr const char* kAdviceAuthAfterTls =
    "Многие серверы предлагают авторизацию только после STARTTLS: выберите защиту «STARTTLS» или «Авто».";
inline constexpr const char* kAdviceCheckLogin =
    "Проверьте имя пользователя и пароль; многие почтовые службы требуют отдельный пароль приложения.";
// A login with an OAuth 2.0 token (XOAUTH2, OAUTHBEARER) that the server refused.
inline constexpr const char* kTokenRefused = "сервер не принял токен OAuth 2.0";
inline constexpr const char* kAdviceCheckToken =
    "Токен выдан не тому почтовому ящику или без права на отправку: ящик входа — SmtpServerUser, иначе адрес в "
    "UserEmail; проверьте область доступа (OAuthScope) и права приложения на этот ящик у поставщика.";
inline constexpr const char* kAdviceRecipient = "Проверьте адрес; письмо не отправлено никому.";
inline constexpr const char* kAdviceTooLarge = "Уменьшите или уберите вложения.";

// Advice for well-known replies.
inline constexpr const char* kHintGmailAppPassword =
    "Gmail принимает только пароль приложения: включите двухэтапную аутентификацию в аккаунте Google, создайте "
    "пароль приложения и укажите его вместо обычного.";
inline constexpr const char* kHintMicrosoftSmtpAuthOff =
    "В Microsoft 365 для организации или этого ящика отключена отправка SMTP AUTH или базовая авторизация: "
    "администратору нужно включить «Authenticated SMTP» для ящика, иначе нужен вход через OAuth 2.0.";
inline constexpr const char* kHintStartTlsFirst =
    "Сервер требует сначала включить шифрование: выберите защиту «STARTTLS» или «SSL/TLS».";
inline constexpr const char* kHintLoginFirst =
    "Сервер требует авторизацию: задайте пользователя и пароль и способ авторизации, отличный от «Без авторизации».";
inline constexpr const char* kHintNotYourAddress =
    "Сервер не разрешает отправлять письма от этого адреса: укажите в «Email» адрес ящика, под которым "
    "выполняется вход, или разрешённый для него.";

inline constexpr const char* kHintTransient = "Сервер отказал временно: повторите отправку позже.";

// Before the server's text.
inline constexpr const char* kServerSaid = "Ответ сервера: ";

}  // namespace eqd::explanation_texts
