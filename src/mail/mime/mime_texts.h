// Texts of the message composer that the host may see.
#pragma once

namespace eqd::mime_texts {

// %s: the address as given, line breaks shown as \r and \n.
inline constexpr const char* kBadAddress = "Некорректный адрес электронной почты: \"%s\"";
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

}  // namespace eqd::mime_texts
