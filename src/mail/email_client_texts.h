// Texts of the e-mail client and the driver that the host or a user sees.
#pragma once

namespace eqd::email_client_texts {

// The device type the e-mail client reports to the host.
inline constexpr const char* kTypeName = "FastPaymentSystem";

// SendMail.
inline constexpr const char* kNoRecipient = "Не заполнен получатель";
inline constexpr const char* kEmptySubject = "Тема уведомления не может быть пустой";
inline constexpr const char* kAttachmentArrayShape =
    "Список вложений должен быть двумерным массивом: путь, тип содержимого, идентификатор";
inline constexpr const char* kAddressArrayShape = "Список адресов должен быть одномерным массивом";
// %s: the path as given, the NUL and other control characters shown as \xNN.
inline constexpr const char* kAttachmentPathHasNul = "Путь к файлу вложения содержит нулевой символ: \"%s\"";

// AddAttachmentBase64.
inline constexpr const char* kInDataNotArray = "Входные параметры команды должны быть массивом";
// %s: the name as given, control characters shown as \xNN.
inline constexpr const char* kBadAttachmentName =
    "Недопустимое имя файла вложения: \"%s\". Имя не может быть пустым, содержать разделители пути, "
    "двоеточие или управляющие символы, состоять из точек или быть именем устройства";
// %s: the path; %s: the operating system's wording.
inline constexpr const char* kCannotCreateFolder = "Не удалось создать папку \"%s\": %s";
inline constexpr const char* kCannotCreateFile = "Не удалось создать файл \"%s\": %s";
inline constexpr const char* kNoTempFolder = "Не найдена папка временных файлов";

// Enable: the checks of the SMTP settings, in the order they are made.
inline constexpr const char* kNoSmtpServer = "Не задан SMTP сервер";
inline constexpr const char* kNoSmtpPort = "Не задан порт SMTP сервера";
inline constexpr const char* kNoSmtpUser = "Не задан SMTP пользователь";
inline constexpr const char* kNoSmtpPassword = "Не задан пароль SMTP пользователя";
inline constexpr const char* kNoUserEmail = "Не задан EMail отправителя";

// The SMTP settings: each one's name is also its description.
inline constexpr const char* kSmtpServerName = "SMTP сервер";
inline constexpr const char* kSmtpServerPort = "SMTP порт";
inline constexpr const char* kSmtpServerUser = "SMTP пользователь";
inline constexpr const char* kSmtpServerPassword = "SMTP пароль";
inline constexpr const char* kUserEmail = "Email отправителя";
inline constexpr const char* kSubject = "Тема уведомления";
inline constexpr const char* kBodyText = "Текст уведомления";
// Connection security: a name and a description that says which values it takes.
inline constexpr const char* kSmtpSecurityName = "Защита соединения";
inline constexpr const char* kSmtpSecurityDescription =
    "Защита соединения с SMTP сервером: Авто (STARTTLS, если сервер предлагает; порт 465 заменяется на 25), "
    "STARTTLS (обязательно), SSL/TLS (TLS с первого байта, обычно порт 465), Без шифрования";
inline constexpr const char* kSmtpAuthMethodName = "Способ авторизации";
inline constexpr const char* kSmtpAuthMethodDescription =
    "Способ авторизации на SMTP сервере: Авто (LOGIN, если сервер его предлагает), LOGIN, PLAIN, "
    "Без авторизации, OAuth 2.0 (токен по настройкам OAuth*)";
inline constexpr const char* kSmtpVerifyCertificateName = "Проверять сертификат сервера";
inline constexpr const char* kSmtpVerifyCertificateDescription =
    "Проверять сертификат SMTP сервера: доверенный корневой центр, имя сервера, срок действия";
inline constexpr const char* kSmtpCertificatePinName = "Отпечаток ключа сертификата";
inline constexpr const char* kSmtpCertificatePinDescription =
    "SHA-256 открытого ключа (SPKI) сертификата SMTP сервера, шестнадцатеричный или Base64; если задан, "
    "ключ сервера должен совпасть с ним (этого достаточно и для самоподписанного сертификата)";
inline constexpr const char* kSmtpKeepAliveName = "Удержание соединения, секунд";
inline constexpr const char* kSmtpKeepAliveDescription =
    "Сколько секунд держать соединение с SMTP сервером открытым после отправки письма, чтобы следующее письмо "
    "ушло по нему без нового подключения и входа (массовая рассылка); 0 — закрывать после каждого письма";
// Enable. %s: the value as given.
inline constexpr const char* kBadKeepAlive =
    "Неверное значение настройки SmtpKeepAlive: \"%s\". Нужно целое число секунд, 0 или больше";

// Device information.
inline constexpr const char* kModelName = "Корвента: клиент электронной почты";
inline constexpr const char* kDescription = "Драйвер рассылки электронных уведомлений";

// The device test.
inline constexpr const char* kDeviceTestText = "Успешно!";
inline constexpr const char* kDeviceTestCaption = "Информация";

}  // namespace eqd::email_client_texts
