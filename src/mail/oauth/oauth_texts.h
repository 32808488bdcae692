// Texts of OAuth 2.0 sign-in shown to users: the explanations of the providers' error
// codes, the settings checks and the sign-in messages. One table per kind.
#pragma once

#include <string_view>

namespace eqd::oauth::texts {

struct TCodeTextStruct {
  std::string_view Code;
  std::string_view Text;
};

// The error codes of token endpoints (RFC 6749, RFC 8628).
inline constexpr TCodeTextStruct kTokenErrors[] = {
    {"invalid_client", "приложение не опознано: неверный идентификатор клиента (OAuthClientId) или секрет клиента (OAuthClientSecret)"},
    {"invalid_grant", "токен обновления или подписанное утверждение отклонены: токен отозван, истёк или выдан другому приложению; войдите заново"},
    {"unauthorized_client", "приложению не разрешён этот способ получения токена (для сервисного аккаунта: нет делегирования на весь домен для этой области)"},
    {"invalid_scope", "поставщик не принял область доступа (OAuthScope)"},
    {"invalid_request", "поставщик счёл запрос неполным или неверным"},
    {"unsupported_grant_type", "поставщик не поддерживает этот способ получения токена"},
    {"access_denied", "вход не разрешён: пользователь отказал"},
    {"expired_token", "код входа истёк, не дождавшись подтверждения; начните вход заново"},
    {"authorization_pending", "вход ещё не подтверждён"},
    {"slow_down", "поставщик просит опрашивать реже"},
    {"temporarily_unavailable", "поставщик временно недоступен"},
    {"server_error", "внутренняя ошибка поставщика"},
};

// Microsoft Entra ID's own numbers, found in the error description.
inline constexpr TCodeTextStruct kMicrosoftErrors[] = {
    {"AADSTS700016", "приложение с таким идентификатором не найдено в клиенте (tenant) Microsoft Entra ID"},
    {"AADSTS7000215", "неверный секрет клиента"},
    {"AADSTS7000222", "срок действия секрета клиента истёк: создайте новый секрет в Entra ID"},
    {"AADSTS65001", "нет согласия на разрешения приложения: администратор должен дать согласие (admin consent)"},
    {"AADSTS90002", "клиент (tenant) не найден: проверьте OAuthTenant"},
    {"AADSTS900023", "клиент (tenant) указан неверно: проверьте OAuthTenant"},
    {"AADSTS70008", "токен обновления истёк или отозван: войдите заново"},
    {"AADSTS700082", "токен обновления истёк из-за долгого неиспользования: войдите заново"},
    {"AADSTS50173", "токен обновления отозван (сменён пароль): войдите заново"},
    {"AADSTS50076", "требуется многофакторная проверка: войдите заново"},
    {"AADSTS50079", "требуется регистрация многофакторной проверки: войдите заново"},
    {"AADSTS50126", "неверное имя пользователя или пароль"},
    {"AADSTS700024", "утверждение клиента просрочено или ещё не действительно: проверьте часы компьютера"},
};

// SMTP refusals after a token, by their enhanced status code.
inline constexpr TCodeTextStruct kSmtpRefusals[] = {
    {"5.7.139", "SMTP AUTH отключён для этого почтового ящика или для всей организации Microsoft 365: включите «Authenticated SMTP» для ящика"},
    {"5.7.3", "сервер не принял токен: у приложения нет прав на этот почтовый ящик (в Exchange Online нужны субъект-служба приложения и разрешение на ящик) или почтовый ящик (OAuthTenant, SmtpServerUser) указан неверно"},
};

inline constexpr std::string_view kTokenRefused = "Поставщик учётных записей отказал в токене";
inline constexpr std::string_view kHttpStatus = "ответ HTTP";
inline constexpr std::string_view kNotAToken = "Ответ поставщика учётных записей не содержит токена доступа";
inline constexpr std::string_view kNotADeviceAnswer = "Ответ поставщика на запрос входа с кодом не содержит нужных полей";
inline constexpr std::string_view kServerRefusedToken = "Сервер SMTP отклонил токен OAuth 2.0";
inline constexpr std::string_view kChallengeStatus = "статус";
inline constexpr std::string_view kChallengeScope = "требуемая область доступа";

inline constexpr std::string_view kServiceAccountKeyNotKey = "OAuthServiceAccountKey не является ключом сервисного аккаунта (нужен JSON с полями client_email и private_key) ";
inline constexpr std::string_view kServiceAccountKeyUnreadable = "Не удалось прочитать ключ сервисного аккаунта из файла ";
inline constexpr std::string_view kServiceAccountKeyUnusable = "Закрытый ключ сервисного аккаунта не подходит для подписи RS256: ";

// Reaching the provider.
inline constexpr std::string_view kHttpsFailed = "Не удалось получить токен OAuth 2.0 от ";
inline constexpr std::string_view kHttpsAddress = "адрес не подходит (нужен https://)";
inline constexpr std::string_view kHttpsResolve = "имя сервера не найдено";
inline constexpr std::string_view kHttpsConnect = "сервер не отвечает на подключение";
inline constexpr std::string_view kHttpsCertificate = "сертификат сервера не прошёл проверку или не удалось установить защищённое соединение";
inline constexpr std::string_view kHttpsTimeout = "истекло время ожидания ответа";
inline constexpr std::string_view kHttpsTooLarge = "ответ слишком велик";
inline constexpr std::string_view kHttpsOther = "ошибка соединения";

// The sign-in with a code.
inline constexpr std::string_view kNoDeviceSignIn = "Поставщик не предлагает вход с кодом (или он не определён по имени сервера SMTP): задайте OAuthDeviceUrl";
inline constexpr std::string_view kNoRefreshToken = "Поставщик подтвердил вход, но не выдал токен обновления (для Microsoft нужна область offline_access)";

// The settings checks: "<what> (<setting>)" completes kMissing.
inline constexpr std::string_view kMissing = "Для входа OAuth 2.0 не задано: ";
inline constexpr std::string_view kForFlow = "способ";
inline constexpr std::string_view kMissingTenant = "клиент Microsoft Entra ID, идентификатор или домен (OAuthTenant)";
inline constexpr std::string_view kMissingClientId = "идентификатор приложения (OAuthClientId)";
inline constexpr std::string_view kMissingClientSecret = "секрет клиента (OAuthClientSecret)";
inline constexpr std::string_view kMissingRefreshToken = "токен обновления (OAuthRefreshToken); получите его кнопкой «Войти…» или командой eqhost login";
inline constexpr std::string_view kMissingServiceAccountKey = "ключ сервисного аккаунта (OAuthServiceAccountKey)";
inline constexpr std::string_view kMissingAccessToken = "токен доступа (OAuthAccessToken)";
inline constexpr std::string_view kMissingTokenUrl = "адрес получения токена (OAuthTokenUrl): поставщик не определён по имени сервера SMTP";
inline constexpr std::string_view kMissingMailbox = "почтовый ящик для входа (SmtpServerUser или адрес в UserEmail)";
inline constexpr std::string_view kMissingFlow = "способ получения токена (OAuthFlow)";
inline constexpr std::string_view kUnknownFlow = "Неизвестный способ получения токена OAuthFlow: ";
inline constexpr std::string_view kNotHttps = "Адрес должен начинаться с https://: ";

// The settings, in the order the settings list shows them.
struct TSettingTextStruct {
  std::string_view ID;
  const char* Name;
  const char* Description;
  bool Secret;
};

inline constexpr TSettingTextStruct kSettings[] = {
    {"OAuthFlow", "OAuth 2.0: способ получения токена",
     "ms365-app (приложение Microsoft 365), google-service-account (сервисный аккаунт Google), refresh-token "
     "(токен обновления), access-token (готовый токен от учётной системы); пусто: не используется",
     false},
    {"OAuthTenant", "OAuth 2.0: клиент Microsoft Entra ID", "Идентификатор или домен клиента (tenant), способ ms365-app",
     false},
    {"OAuthClientId", "OAuth 2.0: идентификатор приложения", "Идентификатор приложения (client ID) у поставщика", false},
    {"OAuthClientSecret", "OAuth 2.0: секрет клиента",
     "Секрет клиента (client secret): для ms365-app обязателен, для refresh-token, если приложение его требует", true},
    {"OAuthRefreshToken", "OAuth 2.0: токен обновления",
     "Токен обновления (способ refresh-token); получается кнопкой «Войти…» или командой eqhost login", true},
    {"OAuthServiceAccountKey", "OAuth 2.0: ключ сервисного аккаунта",
     "JSON-ключ сервисного аккаунта Google или путь к файлу с ним (способ google-service-account)", true},
    {"OAuthAccessToken", "OAuth 2.0: токен доступа", "Готовый токен доступа от учётной системы (способ access-token)",
     true},
    {"OAuthTokenUrl", "OAuth 2.0: адрес получения токена", "https://…; пусто: адрес поставщика по умолчанию", false},
    {"OAuthDeviceUrl", "OAuth 2.0: адрес входа с кодом", "https://…; пусто: адрес поставщика по умолчанию", false},
    {"OAuthScope", "OAuth 2.0: область доступа", "Пусто: область способа по умолчанию", false},
};

// The captions of the OAuthFlow values in the settings window.
inline constexpr TCodeTextStruct kFlowCaptions[] = {
    {"", "Не используется"},
    {"ms365-app", "Приложение Microsoft 365"},
    {"google-service-account", "Сервисный аккаунт Google"},
    {"refresh-token", "Токен обновления (вход пользователя)"},
    {"access-token", "Токен от учётной системы"},
};

// The event log's note when the provider replaced the refresh token.
inline constexpr std::string_view kRefreshTokenRotated =
    "Поставщик выдал новый токен обновления; он используется до конца работы объекта, а сохранённый в "
    "настройке OAuthRefreshToken следует заменить (войдите заново кнопкой «Войти…» или командой eqhost login)";

}  // namespace eqd::oauth::texts
