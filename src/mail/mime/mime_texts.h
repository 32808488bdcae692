// Texts of the message composer that the host may see.
#pragma once

namespace eqd::mime_texts {

// %s: the address as given, line breaks shown as \r and \n.
inline constexpr const char* kBadAddress = "Некорректный адрес электронной почты: \"%s\"";
// %s: the address as given (the limits count its domain in ASCII).
inline constexpr const char* kAddressTooLong =
    "Слишком длинный адрес электронной почты: \"%s\". SMTP допускает не более 64 байт до \"@\", "
    "255 байт после и 254 байт во всём адресе";
// %s: the address as given.
inline constexpr const char* kBadDomain =
    "Домен адреса электронной почты не является допустимым международным именем (IDNA): \"%s\"";
inline constexpr const char* kNoSender = "Не задан EMail отправителя";
inline constexpr const char* kNoRecipients = "Не заполнен получатель";
// %s: the file's path; %s: the operating system's wording.
inline constexpr const char* kCannotOpenAttachment = "Не удалось открыть файл вложения \"%s\": %s";
inline constexpr const char* kCannotReadAttachment = "Ошибка чтения файла вложения \"%s\": %s";
// %s: the file's path.
inline constexpr const char* kAttachmentNotRegularFile =
    "Файл вложения \"%s\" не является обычным файлом (а папка, канал или устройство)";
inline constexpr const char* kAttachmentReplaced =
    "Файл вложения \"%s\" подменён: это не тот файл, который записал драйвер";

// %s: the value, control characters shown as \xNN.
inline constexpr const char* kBadContentType =
    "Недопустимый тип содержимого вложения: \"%s\". Допустимы только печатные символы ASCII";
inline constexpr const char* kBadContentId =
    "Недопустимый идентификатор содержимого вложения: \"%s\". Допустимы только печатные символы ASCII";
// %s: the length in bytes; %s: the most allowed.
inline constexpr const char* kContentTypeTooLong =
    "Слишком длинный тип содержимого вложения: %s байт, допустимо не более %s";
inline constexpr const char* kContentIdTooLong =
    "Слишком длинный идентификатор содержимого вложения: %s байт, допустимо не более %s";
// %s: the file's path.
inline constexpr const char* kAttachmentChanged =
    "Файл вложения \"%s\" изменил размер во время отправки";

}  // namespace eqd::mime_texts
