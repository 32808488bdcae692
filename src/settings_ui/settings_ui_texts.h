// Every text the settings windows show, in one place (UTF-8).
#pragma once

namespace eqd::settings_ui_texts {

// The settings window.
inline constexpr char kWindowCaption[] = "Настройки";
inline constexpr char kInfoTab[] = "Информация";
inline constexpr char kAdditionalButton[] = "Дополнительно";
inline constexpr char kOkButton[] = "ОК";
inline constexpr char kCancelButton[] = "Отмена";
inline constexpr char kAdditionalHint[] = "Дополнительные функции";
inline constexpr char kOkHint[] = "Сохранить и закрыть";
inline constexpr char kCancelHint[] = "Закрыть без сохранения";
inline constexpr char kPagesHint[] = "Настройка параметров и подробная информация о драйвере";
inline constexpr char kVersionPrefix[] = "Версия драйвера: ";
// Access keys: the letter of a text that Alt reaches its control by (the window's and the
// settings list's buttons, the menu's items; the SMTP page's are in its field table).
inline constexpr char kAdditionalKey[] = "Д";
inline constexpr char kOkKey[] = "О";
inline constexpr char kCancelKey[] = "м";
inline constexpr char kListDefaultKey[] = "П";

inline constexpr char kInfoType[] = "Тип:";
inline constexpr char kInfoModel[] = "Модель:";
inline constexpr char kInfoVersion[] = "Версия:";
inline constexpr char kInfoDeveloper[] = "Разработчик:";
inline constexpr char kInfoDescription[] = "Описание:";
inline constexpr char kInfoContacts[] = "Контактная информация:";

inline constexpr char kMenuReset[] = "Установить значения по-умолчанию";
inline constexpr char kMenuDeviceTest[] = "Выполнить тест устройства";
inline constexpr char kMenuSettingsList[] = "Показать полный список настроек";
inline constexpr char kMenuDebugLogs[] = "Просмотр отладочных логов";
inline constexpr char kMenuCurrentDebugLog[] = "Открыть текущий отладочный лог";
inline constexpr char kMenuDebugLogFolder[] = "Открыть папку с файлами отладочных логов";
inline constexpr char kMenuHelp[] = "Справка";
// The menu items' access keys, in the order of the captions above.
inline constexpr char kMenuResetKey[] = "У";
inline constexpr char kMenuDeviceTestKey[] = "В";
inline constexpr char kMenuSettingsListKey[] = "П";
inline constexpr char kMenuDebugLogsKey[] = "о";
inline constexpr char kMenuCurrentDebugLogKey[] = "т";
inline constexpr char kMenuDebugLogFolderKey[] = "п";
inline constexpr char kMenuHelpKey[] = "С";

// The device test while it connects.
inline constexpr char kDeviceTestCaption[] = "Тест устройства";
inline constexpr char kDeviceTestRunning[] = "Проверка подключения к SMTP-серверу…";

inline constexpr char kErrorCaption[] = "Ошибка";
inline constexpr char kCannotSavePages[] = "Не удалось записать текущие настройки";
// The device test's connection step: what failed, before the failure's own text.
inline constexpr char kConnectionCheckFailed[] = "Проверка подключения к SMTP-серверу не пройдена.\r\n\r\n";
inline constexpr char kDebugLogNotFound[] = "Отладочный лог не найден!";
inline constexpr char kLogFileFilterName[] = "Файлы log";
inline constexpr char kLogFileFilterPattern[] = "*.log;";

inline constexpr char kHelpAdditional[] =
    "Дополнительные функции: \r\n - Установка параметров в значегие по умолчанию\r\n"
    " - Тест работоспособности устройства\r\n - Отображение полного списка настроек\r\n - Справка";
inline constexpr char kHelpOk[] = "Сохранить настройки и закрыть окно";
inline constexpr char kHelpCancel[] = "Закрыть окно без сохранения настроек";
inline constexpr char kHelpPages[] = "Настройка параметров и подробная информация о драйвере";

// The settings list editor.
inline constexpr char kListCaption[] = "Список настроек";
inline constexpr char kListColumnName[] = "Наименование";
inline constexpr char kListColumnValue[] = "Значение";
inline constexpr char kListColumnDefault[] = "По-умолчанию";
inline constexpr char kListDefaultButton[] = "По-умолчанию";
inline constexpr char kListDefaultHint[] = "Установить все значения по-умолчанию";
inline constexpr char kListMenuEdit[] = "Редактировать";
inline constexpr char kListMenuDefault[] = "По-умолчанию";
inline constexpr char kListMenuEditKey[] = "Р";
inline constexpr char kListMenuDefaultKey[] = "П";
inline constexpr char kFalse[] = "False";
inline constexpr char kTrue[] = "True";

// The SMTP page.
inline constexpr char kMainPageCaption[] = "Настройки";
inline constexpr char kSmtpTab[] = "Настройки SMTP";
inline constexpr char kGeneralTab[] = "Общие";
inline constexpr char kLabelServer[] = "Cервер:";  // the first letter is a Latin C
inline constexpr char kLabelPort[] = "Порт:";
inline constexpr char kLabelUser[] = "Пользователь:";
inline constexpr char kLabelPassword[] = "Пароль:";
inline constexpr char kLabelEmail[] = "Email:";
inline constexpr char kLabelSubject[] = "Тема уведомления:";
inline constexpr char kLabelBody[] = "Текст уведомления:";
inline constexpr char kPasswordHint[] =
    "Необходимо установить отдельный пароль для отправки уведомлений через внешние приложения   у";
inline constexpr char kEmailPlaceholder[] = "robot@yandex.ru";

// The SMTP page's "Безопасность" tab.
inline constexpr char kSecurityTab[] = "Безопасность";
inline constexpr char kLabelMailService[] = "Почтовая служба:";
inline constexpr char kNoMailService[] = "(вручную)";
inline constexpr char kLabelSecurity[] = "Защита:";
inline constexpr char kLabelAuthMethod[] = "Авторизация:";
inline constexpr char kVerifyCertificate[] = "Проверять сертификат сервера";
inline constexpr char kLabelPin[] = "Отпечаток ключа:";
// Their access keys, none of them taken on the other tabs or by the window.
inline constexpr char kMailServiceKey[] = "л";
inline constexpr char kSecurityKey[] = "щ";
inline constexpr char kAuthMethodKey[] = "ц";
inline constexpr char kVerifyCertificateKey[] = "ф";
inline constexpr char kPinKey[] = "ч";
inline constexpr char kMailServiceHint[] =
    "Заполнить сервер, порт, защиту и авторизацию по документации почтовой службы";
inline constexpr char kSecurityHint[] =
    "Авто: STARTTLS, если сервер предлагает (порт 465 заменяется на 25); STARTTLS: обязательно; "
    "SSL/TLS: шифрование с первого байта (обычно порт 465); Без шифрования: для внутренних серверов";
inline constexpr char kAuthMethodHint[] =
    "Авто: LOGIN, если сервер его предлагает; LOGIN или PLAIN: только этот способ; Без авторизации: "
    "пользователь и пароль не нужны";
inline constexpr char kVerifyCertificateHint[] =
    "Сертификат сервера должен быть выдан доверенным центром на имя сервера и быть действующим";
inline constexpr char kPinHint[] =
    "SHA-256 открытого ключа сертификата сервера (64 шестнадцатеричные цифры или Base64): если задан, "
    "ключ должен совпасть, и этого достаточно для самоподписанного сертификата";

// The OAuth 2.0 rows of the tab "Безопасность" (shown with the login "OAuth 2.0"); the
// captions of the OAuthFlow values are the sign-in's own (oauth_texts.h).
inline constexpr char kLabelOAuthFlow[] = "Получение токена:";
inline constexpr char kLabelOAuthTenant[] = "Клиент (tenant):";
inline constexpr char kLabelOAuthClientId[] = "ID приложения:";
inline constexpr char kLabelOAuthClientSecret[] = "Секрет клиента:";
inline constexpr char kLabelOAuthRefreshToken[] = "Токен обновления:";
inline constexpr char kLabelOAuthServiceAccountKey[] = "Ключ аккаунта:";
inline constexpr char kLabelOAuthAccessToken[] = "Токен доступа:";
inline constexpr char kLabelOAuthTokenUrl[] = "Адрес токенов:";
inline constexpr char kLabelOAuthDeviceUrl[] = "Адрес входа:";
inline constexpr char kLabelOAuthScope[] = "Область (scope):";
inline constexpr char kSignInButton[] = "Войти…";
// Their access keys, unique on the tab and in the window like those above.
inline constexpr char kOAuthFlowKey[] = "у";
inline constexpr char kOAuthTenantKey[] = "е";
inline constexpr char kOAuthClientIdKey[] = "I";
inline constexpr char kOAuthClientSecretKey[] = "р";
inline constexpr char kOAuthRefreshTokenKey[] = "б";
inline constexpr char kOAuthServiceAccountKeyKey[] = "ю";
inline constexpr char kOAuthAccessTokenKey[] = "с";
inline constexpr char kOAuthTokenUrlKey[] = "н";
inline constexpr char kOAuthDeviceUrlKey[] = "х";
inline constexpr char kOAuthScopeKey[] = "s";
inline constexpr char kSignInKey[] = "и";
inline constexpr char kOAuthFlowHint[] =
    "Как драйвер получает токен при отправке: приложение Microsoft 365 и сервисный аккаунт Google — без "
    "участия человека; токен обновления — один раз войти кнопкой «Войти…»; токен от учётной системы — как дан";
inline constexpr char kOAuthTenantHint[] =
    "Идентификатор или домен клиента Microsoft Entra ID (например, contoso.onmicrosoft.com)";
inline constexpr char kOAuthClientIdHint[] = "Идентификатор приложения (client ID), зарегистрированного у поставщика";
inline constexpr char kOAuthClientSecretHint[] =
    "Секрет клиента (client secret); для токена обновления — только если приложение его требует";
inline constexpr char kOAuthRefreshTokenHint[] =
    "Токен обновления: заполняется кнопкой «Войти…» или командой eqhost login";
inline constexpr char kOAuthServiceAccountKeyHint[] = "JSON-ключ сервисного аккаунта Google или путь к файлу с ним";
inline constexpr char kOAuthAccessTokenHint[] = "Готовый токен доступа, который учётная система получает сама";
inline constexpr char kOAuthTokenUrlHint[] =
    "Адрес получения токена (https://…); пусто: адрес поставщика, узнанного по серверу SMTP";
inline constexpr char kOAuthDeviceUrlHint[] = "Адрес входа с кодом (https://…); пусто: адрес поставщика по умолчанию";
inline constexpr char kOAuthScopeHint[] = "Область доступа токена; пусто: область способа по умолчанию";
inline constexpr char kSignInHint[] =
    "Войти в почтовый ящик с кодом в браузере (на этом или любом другом устройстве) и получить токен обновления";

// "Войти…": the sign-in with a code.
inline constexpr char kSignInCaption[] = "Вход OAuth 2.0";
inline constexpr char kSignInAsking[] = "Запрос кода входа у поставщика…";
inline constexpr char kSignInOpen[] = "Откройте в браузере адрес:";
inline constexpr char kSignInEnterCode[] = "и введите код:";
inline constexpr char kSignInWaiting[] = "Ожидание подтверждения входа…";
inline constexpr char kOpenBrowserButton[] = "Открыть браузер";
inline constexpr char kOpenBrowserKey[] = "О";
inline constexpr char kSignInFailed[] = "Вход не выполнен: ";
inline constexpr char kSignInNeedsRefreshFlow[] =
    "«Войти…» получает токен обновления: выберите получение токена «Токен обновления»";

// A page class that no part of the window knows.
inline constexpr char kUnknownPageClass[] = "Неизвестная страница настроек: ";

}  // namespace eqd::settings_ui_texts
