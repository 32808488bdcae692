// Russian texts of the automation core's own errors, in one place. Result-code messages
// live in result_codes.cpp, device type names in device_info.cpp.
#pragma once

namespace eqd::texts {

// Conversions: "<value> is not a ..." and "<type> cannot become a ...".
inline constexpr const char* kNotANumber = "не является числом";
inline constexpr const char* kNotAnInteger = "не является целым числом";
inline constexpr const char* kNotABoolean = "не является логическим значением";
inline constexpr const char* kNotADate = "не является датой";
inline constexpr const char* kValue = "Значение";
inline constexpr const char* kValueOfType = "Значение типа";
inline constexpr const char* kCannotBecome = "нельзя преобразовать в";
inline constexpr const char* kDoesNotFit = "не помещается в";

// What a value was to become (accusative, after the two phrases above).
inline constexpr const char* kToInt32 = "целое число (32 бита)";
inline constexpr const char* kToInt64 = "целое число (64 бита)";
inline constexpr const char* kToDouble = "число";
inline constexpr const char* kToBoolean = "логическое значение";
inline constexpr const char* kToString = "строку";
inline constexpr const char* kToDate = "дату";
inline constexpr const char* kToCurrency = "денежную сумму";
inline constexpr const char* kToDecimal = "десятичное число";

inline constexpr const char* kUnknownDataType = "Неизвестный тип значения настройки";

// Files and folders of the logs.
inline constexpr const char* kCannotWriteFile = "Не удалось записать в файл";
inline constexpr const char* kCannotOpenLogFolder = "Не удалось открыть папку журнала";
inline constexpr const char* kLinkNotFollowed =
    "на месте папки или файла стоит символическая ссылка, точка соединения или точка монтирования; "
    "драйвер не переходит по ним";
inline constexpr const char* kNoDataFolder = "Не удалось определить папку данных приложения";
// "<kLogFileRefused> '<file>': <reason><kLogFileInstead> '<file of this user>'".
inline constexpr const char* kLogFileRefused = "Файл журнала нельзя безопасно дополнить";
inline constexpr const char* kLogFileInstead = "; записи этого пользователя пишутся в файл";

}  // namespace eqd::texts
