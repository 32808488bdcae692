// Every text of the device framework that a user or the host sees, in one place.
#pragma once

namespace eqd::device_texts {

// Raised when a host callback is needed and the host handed over no equipment manager.
inline constexpr char kNoEqManager[] = "Менеджер оборудования недоступен";
// "SetSettings" with an input array of the wrong shape.
inline constexpr char kNoSettingsArray[] = "Входные данные не содержат массив настроек (элемент 0)";
inline constexpr char kSettingsNotTwoDimensional[] = "Массив настроек должен быть двумерным";
// Raised when a settings window is asked for in a build that has none.
inline constexpr char kNoSettingsWindow[] = "Окно настроек недоступно";

// The common settings of every device: short names and descriptions.
inline constexpr char kDefaultTimeOutName[] = "Таймаут по умолчанию";
inline constexpr char kDefaultTimeOutDescription[] =
    "Таймаут по умолчанию. Используется в случае, если при вызове метода параметр Timeout равен 0";
inline constexpr char kEventLogEnabledName[] = "Журнал событий";
inline constexpr char kEventLogEnabledDescription[] = "Если равно True, ведется журнал критических событий и ошибок";
inline constexpr char kDebugLogEnabledName[] = "Отладочный лог";
inline constexpr char kDebugLogEnabledDescription[] = "Если равно True, ведется отладочный лог";

// The maker's data reported in the device information.
inline constexpr char kDeveloperName[] = "Korventa";
inline constexpr char kContactEmail[] = "support@korventa.example";
inline constexpr char kContactWww[] = "https://korventa.example";
inline constexpr char kContactPhones[] = "+7 000 000-00-00";
inline constexpr char kContactAddress[] = "Россия, 000000, г. Примерск, ул. Вымышленная, д. 1";

}  // namespace eqd::device_texts
