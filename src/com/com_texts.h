// Texts of the COM layer that reach the user (UTF-8).
#pragma once

#include <string_view>

namespace eqd::com {

// A by-reference argument of a type the answer cannot be written into.
inline constexpr std::string_view kTextBadParameters = "Ошибка входных параметров команды";
inline constexpr std::string_view kTextOutOfMemory = "Недостаточно памяти";
// %s: the automation type code in hexadecimal.
inline constexpr std::string_view kTextUnsupportedValueType = "Неподдерживаемый тип значения (0x%04X)";
inline constexpr std::string_view kTextBrokenArray = "Неверный массив значений";
// %s: the method name.
inline constexpr std::string_view kTextHostMethodNotFound = "Объект приложения не поддерживает метод \"%s\"";
// %1: the method name, %2: the host's or the system's description, %3: the result code.
inline constexpr std::string_view kTextHostCallFailed = "Ошибка вызова метода \"%s\" объекта приложения: %s (0x%08X)";
inline constexpr std::string_view kTextUnknownError = "Неизвестная ошибка";
// %1: the ProgID, %2: the system's description, %3: the result code.
inline constexpr std::string_view kTextCannotCreateObject = "Не удалось создать объект \"%s\": %s (0x%08X)";

}  // namespace eqd::com
