// Every text that eqhost itself shows to its user, in one table. The driver's own
// texts (result messages, setting names) come from the driver and are printed as
// they are.
#pragma once

namespace eqd::host_texts {

// Command line.
inline constexpr const char* kAppDescription =
    "eqhost: командная строка для драйвера рассылки электронных уведомлений";
inline constexpr const char* kVerbose =
    "печатать обращения драйвера к менеджеру оборудования и диалог с SMTP-сервером (пароль скрыт)";
inline constexpr const char* kSendCommand = "отправить письмо";
inline constexpr const char* kCheckCommand = "включить устройство и проверить его состояние";
inline constexpr const char* kSettingsCommand = "показать таблицу настроек";
inline constexpr const char* kInfoCommand = "показать сведения об устройстве";
inline constexpr const char* kRunCommand = "выполнить вызовы методов из файла JSON (по одному в строке)";
inline constexpr const char* kLoginCommand =
    "войти в почтовую службу с кодом (OAuth 2.0) и записать токен обновления в файл настроек";
inline constexpr const char* kLoginSettingsOption =
    "файл настроек JSON со способом OAuthFlow \"refresh-token\"; в него записывается OAuthRefreshToken";
inline constexpr const char* kSettingsFileOption = "файл настроек JSON: {\"ID\": значение, ...}";
inline constexpr const char* kSetOption = "задать настройку ID=ЗНАЧЕНИЕ поверх файла";
inline constexpr const char* kSetFromFileOption =
    "задать настройку ID текстом файла ПУТЬ (\"-\": стандартный ввод) поверх файла и --set; "
    "для пароля: командную строку видят все пользователи компьютера";
inline constexpr const char* kDeviceIdOption = "идентификатор устройства для Open";
inline constexpr const char* kConnectOption =
    "затем проверить соединение: подключиться к SMTP-серверу и войти, не отправляя письма";
inline constexpr const char* kToOption = "адрес получателя";
inline constexpr const char* kCcOption = "адрес получателя копии";
inline constexpr const char* kBccOption = "адрес получателя скрытой копии";
inline constexpr const char* kSubjectOption = "тема письма";
inline constexpr const char* kBodyOption = "текст письма (HTML)";
inline constexpr const char* kBodyFileOption = "файл с текстом письма (HTML, UTF-8)";
inline constexpr const char* kAttachOption = "вложить файл";
inline constexpr const char* kInlineOption = "встроенное изображение: ПУТЬ,ТИП,CONTENT-ID";
inline constexpr const char* kAttachBase64Option = "вложить файл через AddAttachmentBase64: ИМЯ,ФАЙЛ";
inline constexpr const char* kJsonOption = "вывод в формате JSON";
inline constexpr const char* kDryRunOption =
    "не отправлять: записать письмо в файл .eml и напечатать отправителя и получателей (JSON)";
inline constexpr const char* kForceOption = "с --dry-run: заменить файл, если он уже есть";
inline constexpr const char* kShowSecretsOption = "показать значения секретных настроек (пароля) вместо ********";
inline constexpr const char* kRunFileOption = "файл вызовов; \"-\" или ничего: стандартный ввод";

// eqhost login.
inline constexpr const char* kLoginNotRefreshFlow =
    "вход с кодом нужен только для способа OAuthFlow \"refresh-token\", а в файле настроек указан ";
inline constexpr const char* kLoginOpen = "Откройте в браузере ";
inline constexpr const char* kLoginEnterCode = " и введите код ";
inline constexpr const char* kLoginWaiting = "Ожидание подтверждения входа (Ctrl+C прерывает)...";
inline constexpr const char* kLoginDone = "Вход выполнен; токен обновления записан в ";
inline constexpr const char* kLoginCannotWrite = "не удалось записать файл настроек ";

// Option values.
inline constexpr const char* kBadSetValue = "ожидается ID=ЗНАЧЕНИЕ";
inline constexpr const char* kBadSetFromFileValue = "ожидается ID=ПУТЬ";
inline constexpr const char* kBadInlineValue = "ожидается ПУТЬ,ТИП,CONTENT-ID: ";
inline constexpr const char* kBadBase64Value = "ожидается ИМЯ,ФАЙЛ: ";

// JSON values.
inline constexpr const char* kBadJsonObject =
    "объект JSON не является значением: ожидается {\"null\": true}, {\"manager\": true} или {\"array2\": ...}";
inline constexpr const char* kBadArray2 = "array2: ожидается массив строк одинаковой длины";
inline constexpr const char* kBadLbound = "lbound: ожидаются две целые нижние границы";
inline constexpr const char* kNoManager = "менеджер оборудования здесь недоступен";

// Files and settings.
inline constexpr const char* kCannotRead = "не удалось прочитать файл ";
inline constexpr const char* kCannotWrite = "не удалось записать файл ";
inline constexpr const char* kFileExists = ": файл уже существует (--force заменяет его)";
inline constexpr const char* kBadSettingsFile = "файл настроек должен содержать объект JSON: ";
inline constexpr const char* kUnknownSetting = "неизвестная настройка: ";
inline constexpr const char* kBadSettingValue = "недопустимое значение настройки ";
// A secret's value is never shown; this stands in its place in an error.
inline constexpr const char* kHiddenValue = "(значение скрыто)";
// "<kBadSettingInFile><ID> в файле <path>", the value not repeated.
inline constexpr const char* kInFile = " в файле ";

// Calls.
inline constexpr const char* kNoConnectionTest = "проверка соединения (--connect) в этой сборке eqhost недоступна";
inline constexpr const char* kUnknownMethod = "неизвестный метод ";
inline constexpr const char* kCallRefused = "вызов отклонен, HRESULT ";
inline constexpr const char* kBadCallLine = "строка не является вызовом: ";
inline constexpr const char* kNoMethod = "нет поля \"method\"";
inline constexpr const char* kTooDeep = "вложенность массивов и объектов глубже ";
inline constexpr const char* kBadParams = "\"params\" должен быть массивом";
inline constexpr const char* kUnknownCallback = "менеджер оборудования не знает метода ";
inline constexpr const char* kRegisterDriver =
    ". Драйвер не зарегистрирован: regsvr32 vlm_dodezoz41.dll (для текущего пользователя: "
    "regsvr32 /n /i:user vlm_dodezoz41.dll)";

// Host dialogs on a terminal.
inline constexpr const char* kMessagePrompt = "Ответ (число, Enter = ";
inline constexpr const char* kInputPrompt = "Значение (Enter = ";

}  // namespace eqd::host_texts
