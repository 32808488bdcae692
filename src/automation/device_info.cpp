#include "automation/device_info.h"

#include <array>
#include <utility>

namespace eqd {
namespace {

// Display names as the host's other drivers show them. "Cистема быстрых платежей"
// begins with a Latin C, and "БПО 3.X" holds a Latin X; every other letter is Cyrillic.
constexpr std::array<std::pair<std::string_view, std::string_view>, 32> kDeviceTypes = {{
    {"Unknown", "Неизвестный тип"},
    {"Template", "Шаблон"},
    {"Scanner", "Сканер штрихкодов"},
    {"FiscalPrinter", "Фискальный регистратор"},
    {"EcrOnline", "ККТ с функцией передачи в ОФД"},
    {"EcrOnline3", "ККТ с функцией передачи в ОФД БПО 3.X"},
    {"FiscalCashRegister", "Фискальный регистратор БПО"},
    {"AcquiringTerminal", "Эквайринг-терминал"},
    {"DataCollectionTerminal", "Терминал сбора данных"},
    {"LineDisplay", "Дисплей покупателя"},
    {"CardReader", "Считыватель карт"},
    {"Scale", "Электронные весы"},
    {"ScaleOffline", "Электронные весы с печатью этикеток"},
    {"ServicePrinter", "Сервисный принтер"},
    {"AccessController", "Контроллер доступа"},
    {"LabelPrinter", "Принтер этикеток"},
    {"BiometricReader", "Биометрический считыватель"},
    {"ElectronicLocks", "Электронные замки"},
    {"SMSCommunicator", "СМС-коммуникатор"},
    {"EventLogger", "Регистратор событий"},
    {"TimePhasedServicesController", "Контроллер временных услуг"},
    {"CustomerFeedbackTerminal", "Терминал опроса клиентов"},
    {"BillValidator", "Купюроприемник"},
    {"CoffeeMachine", "Кофемашина"},
    {"ServiceTerminal", "Терминал услуг"},
    {"BloodPressureMonitor", "Тонометр"},
    {"AlcoTester", "Алкотестер"},
    {"VideoCamera", "Видеокамера"},
    {"LoyaltySystem", "Система лояльности"},
    {"Thermometer", "Термометр"},
    {"FastPaymentSystem", "Cистема быстрых платежей"},
    {"EMailClient", "Клиент электронной почты"},}};

}  // namespace

std::string DeviceTypeDisplayName(std::string_view TypeName) {
  for (const auto& [name, display] : kDeviceTypes)
    if (name == TypeName) return std::string(display);
  return std::string(TypeName);
}

std::string ContactInfoText(const TDeviceInfoStruct& Info) {
  const std::pair<const char*, const std::string*> lines[] = {
      {"E-mail", &Info.CI_email}, {"Web", &Info.CI_www}, {"Тел", &Info.CI_Phones}, {"Адрес", &Info.CI_address}};
  std::string out;
  for (const auto& [label, value] : lines) {
    out += label;
    out += ":\t";
    out += *value;
    out += "\r\n";
  }
  return out;
}

std::string VersionText(const TDeviceInfoStruct& Info) {
  return std::to_string(Info.MajorVersion) + "." + std::to_string(Info.MinorVersion) + "." +
         std::to_string(Info.BuildVersion);
}

}  // namespace eqd
