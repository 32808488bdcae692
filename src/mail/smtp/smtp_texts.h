// Every text the sender shows to the host. The two English sentences about TLS are the
// driver's established wording and stay letter for letter.
#pragma once

namespace eqd::smtp::texts {

inline constexpr const char* kStartTlsRefused = "Start SSL negotiation command failed.";
inline constexpr const char* kTlsHandshakeFailed = "SSL negotiation failed.";

inline constexpr const char* kResolveFailed = "Не удалось найти адрес SMTP-сервера";
inline constexpr const char* kConnectFailed = "Не удалось подключиться к SMTP-серверу";
inline constexpr const char* kConnectTimeout = "Истекло время ожидания подключения к SMTP-серверу";
inline constexpr const char* kReadTimeout = "Истекло время ожидания ответа SMTP-сервера";
inline constexpr const char* kWriteTimeout = "Истекло время ожидания передачи данных SMTP-серверу";
inline constexpr const char* kConnectionClosed = "SMTP-сервер закрыл соединение";
inline constexpr const char* kNetworkError = "Ошибка сети";
inline constexpr const char* kTlsError = "Ошибка TLS";

inline constexpr const char* kReplyLineTooLong = "SMTP-сервер прислал слишком длинную строку ответа";
inline constexpr const char* kReplyTooLong = "SMTP-сервер прислал слишком длинный ответ";
inline constexpr const char* kReplyMalformed = "SMTP-сервер прислал ответ неверного вида";
// Followed by ": " and the reply's text when the server sent a whole reply.
inline constexpr const char* kEarlyReply = "SMTP-сервер ответил, не дождавшись конца письма";

// A message larger than the server takes: the text, the message's size, the second text,
// the server's limit (both in bytes).
inline constexpr const char* kMessageTooLarge = "Письмо слишком велико для SMTP-сервера: размер письма, байт: ";
inline constexpr const char* kServerSizeLimit = "; сервер принимает не более, байт: ";
inline constexpr const char* kSmtpUtf8NotAnnounced =
    "SMTP-сервер не принимает адреса с символами не из ASCII (не объявлено расширение SMTPUTF8)";

// The event log's dialogue: the message's size after its end-of-data mark, and the line
// of a delivered message (followed by the count, "; ", the prefix below and the reply).
inline constexpr const char* kMessageSizeNote = "письмо, байт: ";
inline constexpr const char* kDelivered = "Письмо доставлено, получателей: ";
inline constexpr const char* kServerReply = "ответ сервера: ";
// INFO lines of a session kept open between sends that the server ended: found closed
// before the next send, or failing before the new message's MAIL FROM was accepted
// (followed by the failure's text). A new connection sends the message.
inline constexpr const char* kKeptSessionClosed =
    "SMTP-сервер закрыл соединение, сохранённое после прошлой отправки; письмо отправляется через новое соединение";
inline constexpr const char* kKeptSessionLost =
    "Соединение, сохранённое после прошлой отправки, не приняло письмо; оно отправляется через новое соединение: ";
// The WARN line of a login over a connection without TLS.
inline constexpr const char* kLoginInClearText =
    "Имя пользователя и пароль переданы SMTP-серверу без шифрования. Чтобы их нельзя было перехватить, "
    "выберите защиту «STARTTLS» или «SSL/TLS»";

}  // namespace eqd::smtp::texts
